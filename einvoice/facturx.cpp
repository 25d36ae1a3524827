#include "einvoice/facturx.h"

#include <lcms2.h>
#include <libxml/parser.h>

#include <climits>
#include <ctime>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>
#include <string>

#include "einvoice/pdfa_metadata.h"

namespace tarvik::einvoice {
namespace {

using Obj = QPDFObjectHandle;

constexpr const char* kAttachment = "factur-x.xml";
constexpr const char* kCiiNamespace =
    "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100";
constexpr const char* kCreatorTool = "TarvikInvoice";

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct ProfileClose {
  void operator()(void* p) const { cmsCloseProfile(p); }
};

// Only a CII invoice may travel under the name readers look for.
void CheckCii(std::string_view cii) {
  if (cii.size() > static_cast<std::size_t>(INT_MAX))
    throw std::runtime_error("The CII invoice to attach is too large.");
  std::unique_ptr<xmlDoc, DocFree> doc(
      xmlReadMemory(cii.data(), static_cast<int>(cii.size()), kAttachment, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr)
    throw std::runtime_error("The CII invoice to attach is not well-formed XML.");
  const bool cii_root =
      xmlStrEqual(root->name, reinterpret_cast<const xmlChar*>("CrossIndustryInvoice")) &&
      root->ns != nullptr &&
      xmlStrEqual(root->ns->href, reinterpret_cast<const xmlChar*>(kCiiNamespace));
  if (!cii_root) throw std::runtime_error("The XML to attach is not a CII CrossIndustryInvoice.");
}

// sRGB for the output intent. Written as an ICC version 2 profile, which
// every PDF/A level and reader accepts.
const std::string& SrgbProfile() {
  static const std::string bytes = [] {
    std::unique_ptr<void, ProfileClose> profile(cmsCreate_sRGBProfile());
    if (!profile) throw std::runtime_error("The sRGB colour profile cannot be made.");
    cmsSetProfileVersion(profile.get(), 2.1);
    cmsUInt32Number size = 0;
    std::string out;
    if (cmsSaveProfileToMem(profile.get(), nullptr, &size)) {
      out.resize(size);
      if (!cmsSaveProfileToMem(profile.get(), out.data(), &size)) out.clear();
    }
    if (out.empty()) throw std::runtime_error("The sRGB colour profile cannot be written.");
    out.resize(size);
    return out;
  }();
  return bytes;
}

std::string InfoText(Obj info, const char* key) {
  if (!info.isDictionary()) return {};
  Obj value = info.getKey(key);
  return value.isString() ? value.getUTF8Value() : std::string();
}

std::string DefaultTitle(const Document& document) {
  return (document.type == DocumentType::kCreditNote ? "Credit note " : "Invoice ") +
         document.number;
}

// The Info dictionary keeps only what the XMP packet repeats, so the two
// cannot disagree.
Obj Info(QPDF& q, const PdfaMetadata& m) {
  Obj info = Obj::newDictionary();
  info.replaceKey("/Title", Obj::newUnicodeString(m.title));
  if (!m.author.empty()) info.replaceKey("/Author", Obj::newUnicodeString(m.author));
  info.replaceKey("/Creator", Obj::newUnicodeString(m.creator_tool));
  info.replaceKey("/Producer", Obj::newUnicodeString(m.producer));
  info.replaceKey("/CreationDate", Obj::newString(PdfDate(m.created)));
  info.replaceKey("/ModDate", Obj::newString(PdfDate(m.modified)));
  return q.makeIndirectObject(info);
}

Obj Attachment(QPDF& q, std::string_view cii, const Document& document, std::time_t when) {
  Obj file = q.newStream(std::string(cii));
  Obj dict = file.getDict();
  dict.replaceKey("/Type", Obj::newName("/EmbeddedFile"));
  dict.replaceKey("/Subtype", Obj::newName("/text/xml"));
  Obj params = Obj::newDictionary();
  params.replaceKey("/ModDate", Obj::newString(PdfDate(when)));
  params.replaceKey("/Size", Obj::newInteger(static_cast<long long>(cii.size())));
  dict.replaceKey("/Params", params);

  // Alternative: the XML is the same invoice as the printed pages, in
  // another form, which is what the EN 16931 profile declares.
  Obj filespec = Obj::parse("<< /Type /Filespec /AFRelationship /Alternative >>");
  filespec.replaceKey("/F", Obj::newString(kAttachment));
  filespec.replaceKey("/UF", Obj::newUnicodeString(kAttachment));
  filespec.replaceKey("/Desc", Obj::newUnicodeString("Electronic invoice " + document.number));
  Obj ef = Obj::newDictionary();
  ef.replaceKey("/F", file);
  ef.replaceKey("/UF", file);
  filespec.replaceKey("/EF", ef);
  return q.makeIndirectObject(filespec);
}

// The catalog's associated files: the attachment, once, after whatever the
// file already declared.
void Associate(Obj root, Obj filespec) {
  Obj af = Obj::newArray();
  Obj old = root.getKey("/AF");
  if (old.isArray()) {
    for (Obj item : old.aitems()) {
      if (item.isDictionary() && InfoText(item, "/F") == kAttachment) continue;
      af.appendItem(item);
    }
  }
  af.appendItem(filespec);
  root.replaceKey("/AF", af);
}

Obj OutputIntent(QPDF& q) {
  Obj icc = q.newStream(SrgbProfile());
  icc.getDict().replaceKey("/N", Obj::newInteger(3));
  Obj intent = Obj::parse(
      "<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB IEC61966-2.1)"
      " /Info (sRGB IEC61966-2.1) /RegistryName (http://www.color.org) >>");
  intent.replaceKey("/DestOutputProfile", icc);
  return q.makeIndirectObject(intent);
}

Obj Metadata(QPDF& q, const PdfaMetadata& m) {
  Obj stream = q.newStream(XmpPacket(m));
  stream.getDict().replaceKey("/Type", Obj::newName("/Metadata"));
  stream.getDict().replaceKey("/Subtype", Obj::newName("/XML"));
  return stream;
}

// What cairo writes that PDF/A-3 forbids: smoothed images, composite
// TrueType fonts that leave their glyph map implicit, and annotations that
// are not marked for printing.
void MakeArchivable(QPDF& q) {
  constexpr long long kInvisible = 1, kHidden = 2, kPrint = 4, kNoView = 32, kToggleNoView = 256;
  for (Obj& object : q.getAllObjects()) {
    if (object.isStream()) {
      Obj dict = object.getDict();
      if (dict.getKey("/Subtype").isNameAndEquals("/Image")) dict.removeKey("/Interpolate");
      continue;
    }
    if (!object.isDictionary()) continue;
    // Identity is what a missing map means, so the glyphs stay as drawn.
    if (object.getKey("/Subtype").isNameAndEquals("/CIDFontType2") &&
        !object.hasKey("/CIDToGIDMap")) {
      object.replaceKey("/CIDToGIDMap", Obj::newName("/Identity"));
    }
    if (!object.getKey("/Type").isNameAndEquals("/Page")) continue;
    Obj annots = object.getKey("/Annots");
    if (!annots.isArray()) continue;
    for (Obj annot : annots.aitems()) {
      if (!annot.isDictionary()) continue;
      Obj f = annot.getKey("/F");
      long long flags = f.isInteger() ? f.getIntValue() : 0;
      flags = (flags | kPrint) & ~(kInvisible | kHidden | kNoView | kToggleNoView);
      annot.replaceKey("/F", Obj::newInteger(flags));
    }
  }
}

std::string Build(QPDF& q, std::string_view cii, const Document& document) {
  Obj trailer = q.getTrailer();
  Obj root = q.getRoot();
  Obj old_info = trailer.getKey("/Info");

  PdfaMetadata m;
  m.title = InfoText(old_info, "/Title");
  if (m.title.empty()) m.title = DefaultTitle(document);
  m.author = document.seller.name;
  m.creator_tool = InfoText(old_info, "/Creator");
  if (m.creator_tool.empty()) m.creator_tool = kCreatorTool;
  m.producer = InfoText(old_info, "/Producer");
  if (m.producer.find("qpdf") == std::string::npos)
    m.producer += m.producer.empty() ? "qpdf" : "; qpdf";
  m.created = m.modified = std::time(nullptr);
  // The values go through XML and back; both sides must carry the same text.
  for (std::string* s : {&m.title, &m.author, &m.creator_tool, &m.producer}) *s = XmlSafeText(*s);

  MakeArchivable(q);
  trailer.replaceKey("/Info", Info(q, m));
  root.replaceKey("/Metadata", Metadata(q, m));
  root.replaceKey("/OutputIntents", Obj::newArray({OutputIntent(q)}));
  const Obj filespec = Attachment(q, cii, document, m.modified);
  QPDFEmbeddedFileDocumentHelper(q).replaceEmbeddedFile(kAttachment,
                                                        QPDFFileSpecObjectHelper(filespec));
  Associate(root, filespec);

  QPDFWriter writer(q);
  writer.setOutputMemory();
  writer.setMinimumPDFVersion("1.7");
  writer.setObjectStreamMode(qpdf_o_disable);
  writer.setDeterministicID(true);
  writer.write();
  // A damaged part of the input would be written damaged; refuse it instead.
  if (q.anyWarnings()) {
    const auto warnings = q.getWarnings();
    throw std::runtime_error(
        "The invoice PDF is damaged: " +
        (warnings.empty() ? std::string("unreadable parts") : warnings.front().getMessageDetail()));
  }
  const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char*>(out->getBuffer()), out->getSize());
}

}  // namespace

std::string MakeFacturX(std::string_view pdf, std::string_view cii, const Document& document) {
  CheckCii(cii);
  QPDF q;
  q.setSuppressWarnings(true);
  q.setAttemptRecovery(false);
  try {
    q.processMemoryFile("invoice PDF", pdf.data(), pdf.size());
    if (q.isEncrypted())
      throw std::runtime_error("The invoice PDF is encrypted; an archivable PDF may not be.");
    return Build(q, cii, document);
  } catch (const QPDFExc& e) {
    throw std::runtime_error("The invoice PDF cannot be read: " + e.getMessageDetail());
  } catch (const std::logic_error& e) {
    throw std::runtime_error(std::string("The invoice PDF cannot be read: ") + e.what());
  }
}

}  // namespace tarvik::einvoice
