// Factur-X files are read back with qpdf and libxml2, independently of how
// they were written, and checked against what archiving and invoice readers
// look for.
#include "einvoice/facturx.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tarvik::einvoice {
namespace {

using ::testing::HasSubstr;
using Obj = QPDFObjectHandle;

// ---- inputs -----------------------------------------------------------------

struct DrawOptions {
  std::string title;           // empty: cairo writes none
  bool image = false;          // a bitmap, which cairo marks for smoothing
  bool international = false;  // text beyond Latin-1
};

cairo_status_t Append(void* out, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

struct SurfaceFree {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextFree {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// A one-page invoice PDF as cairo draws it.
std::string DrawInvoice(const DrawOptions& options = {}) {
  std::string out;
  {
    std::unique_ptr<cairo_surface_t, SurfaceFree> pdf(
        cairo_pdf_surface_create_for_stream(Append, &out, 595, 842));
    if (!options.title.empty())
      cairo_pdf_surface_set_metadata(pdf.get(), CAIRO_PDF_METADATA_TITLE, options.title.c_str());
    cairo_pdf_surface_set_metadata(pdf.get(), CAIRO_PDF_METADATA_CREATOR, "TarvikInvoice");
    std::unique_ptr<cairo_t, ContextFree> cr(cairo_create(pdf.get()));
    cairo_select_font_face(cr.get(), "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), 14);
    cairo_move_to(cr.get(), 50, 80);
    cairo_show_text(cr.get(), "Invoice 1001  Total 119.00 EUR");
    if (options.international) {
      // More than one byte's worth of glyphs: cairo writes a composite font.
      cairo_move_to(cr.get(), 50, 100);
      cairo_show_text(cr.get(), "Müller Łódź ΑΒΓ Жизнь");
    }
    if (options.image) {
      std::unique_ptr<cairo_surface_t, SurfaceFree> logo(
          cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8));
      std::unique_ptr<cairo_t, ContextFree> paint(cairo_create(logo.get()));
      cairo_set_source_rgb(paint.get(), 0.2, 0.4, 0.8);
      cairo_paint(paint.get());
      cairo_scale(cr.get(), 4, 4);
      cairo_set_source_surface(cr.get(), logo.get(), 100, 10);
      cairo_paint(cr.get());
    }
    cairo_show_page(cr.get());
  }
  return out;
}

std::string Written(QPDF& q, const std::function<void(QPDFWriter&)>& setup = {}) {
  QPDFWriter writer(q);
  writer.setOutputMemory();
  if (setup) setup(writer);
  writer.write();
  const auto buffer = writer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
}

// The PDF with a hidden link on its first page. (Cairo 1.16 writes a broken
// file when asked for links itself.)
std::string WithHiddenLink(const std::string& pdf) {
  QPDF q;
  q.processMemoryFile("drawn", pdf.data(), pdf.size());
  Obj annot = q.makeIndirectObject(
      Obj::parse("<< /Type /Annot /Subtype /Link /Rect [50 100 120 120] /F 2 /Border [0 0 0]"
                 " /A << /S /URI /URI (https://example.com/pay) >> >>"));
  QPDFPageDocumentHelper(q).getAllPages().at(0).getObjectHandle().replaceKey(
      "/Annots", Obj::newArray({annot}));
  return Written(q);
}

// The PDF locked with an owner password; anyone may open it.
std::string Encrypted(const std::string& pdf) {
  QPDF q;
  q.processMemoryFile("drawn", pdf.data(), pdf.size());
  return Written(q, [](QPDFWriter& writer) {
    writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full,
                                     true);
  });
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ExampleCii() {
  return ReadFile(std::filesystem::path(TARVIK_SOURCE_DIR) /
                  "third_party/einvoice/examples/CII_example1.xml");
}

Document Sample(DocumentType type = DocumentType::kInvoice, std::string number = "1001") {
  Document d;
  d.type = type;
  d.number = std::move(number);
  d.issue_date = "2026-12-01";
  d.seller.name = "Tarvik Handel GmbH";
  return d;
}

std::string Utc(std::time_t when) {
  std::tm tm{};
  gmtime_r(&when, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &tm);
  return text;
}

// "D:20261208171037+00'00'" as XMP writes the same instant.
std::string XmpFromPdfDate(const std::string& d) {
  if (d.size() != 23 || d.compare(0, 2, "D:") != 0 || d[19] != '\'')
    return "not a full PDF date: " + d;
  return d.substr(2, 4) + "-" + d.substr(6, 2) + "-" + d.substr(8, 2) + "T" + d.substr(10, 2) +
         ":" + d.substr(12, 2) + ":" + d.substr(14, 2) + d.substr(16, 3) + ":" + d.substr(20, 2);
}

// ---- reading the result back -------------------------------------------------

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct ProfileClose {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformFree {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
struct ContextXPathFree {
  void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct ObjectFree {
  void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};

class Xmp {
 public:
  explicit Xmp(const std::string& packet)
      : doc_(xmlReadMemory(packet.data(), static_cast<int>(packet.size()), "xmp", nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {
    if (!doc_) return;
    context_.reset(xmlXPathNewContext(doc_.get()));
    static constexpr const char* kNamespaces[][2] = {
        {"x", "adobe:ns:meta/"},
        {"rdf", "http://www.w3.org/1999/02/22-rdf-syntax-ns#"},
        {"pdfaid", "http://www.aiim.org/pdfa/ns/id/"},
        {"dc", "http://purl.org/dc/elements/1.1/"},
        {"xmp", "http://ns.adobe.com/xap/1.0/"},
        {"pdf", "http://ns.adobe.com/pdf/1.3/"},
        {"fx", "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#"},
        {"pdfaExtension", "http://www.aiim.org/pdfa/ns/extension/"},
        {"pdfaSchema", "http://www.aiim.org/pdfa/ns/schema#"},
        {"pdfaProperty", "http://www.aiim.org/pdfa/ns/property#"},
    };
    for (const auto& ns : kNamespaces) {
      xmlXPathRegisterNs(context_.get(), reinterpret_cast<const xmlChar*>(ns[0]),
                         reinterpret_cast<const xmlChar*>(ns[1]));
    }
  }
  bool parsed() const { return doc_ != nullptr; }

  // The string value of an XPath expression.
  std::string Value(const std::string& path) const {
    std::unique_ptr<xmlXPathObject, ObjectFree> result(xmlXPathEvalExpression(
        reinterpret_cast<const xmlChar*>(("string(" + path + ")").c_str()), context_.get()));
    if (!result || result->type != XPATH_STRING) return "<bad expression " + path + ">";
    return reinterpret_cast<const char*>(result->stringval);
  }

 private:
  std::unique_ptr<xmlDoc, DocFree> doc_;
  std::unique_ptr<xmlXPathContext, ContextXPathFree> context_;
};

// The output as a reader opens it.
class Opened {
 public:
  explicit Opened(std::string bytes) : bytes_(std::move(bytes)) {
    pdf_.processMemoryFile("factur-x output", bytes_.data(), bytes_.size());
  }
  QPDF& pdf() { return pdf_; }
  const std::string& bytes() const { return bytes_; }
  Obj root() { return pdf_.getRoot(); }
  Obj info() { return pdf_.getTrailer().getKey("/Info"); }
  std::string InfoText(const char* key) {
    Obj v = info().getKey(key);
    return v.isString() ? v.getUTF8Value() : "<no " + std::string(key) + ">";
  }
  std::string Data(Obj stream) {
    const auto data = stream.getStreamData(qpdf_dl_all);
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  }
  Xmp Metadata() { return Xmp(Data(root().getKey("/Metadata"))); }
  // The attachment's Filespec dictionary, found through the names tree.
  Obj Attachment() {
    auto filespec = QPDFEmbeddedFileDocumentHelper(pdf_).getEmbeddedFile("factur-x.xml");
    return filespec ? filespec->getObjectHandle() : Obj::newNull();
  }

 private:
  std::string bytes_;
  QPDF pdf_;
};

std::string ErrorOf(std::string_view pdf, std::string_view cii) {
  try {
    MakeFacturX(pdf, cii, Sample());
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "<no error>";
}

// ---- tests -------------------------------------------------------------------

TEST(FacturX, AttachesTheCiiUnderItsNameAsTheInvoicesAlternative) {
  const std::string cii = ExampleCii();
  ASSERT_FALSE(cii.empty());
  Opened out(MakeFacturX(DrawInvoice(), cii, Sample()));

  Obj filespec = out.Attachment();
  ASSERT_TRUE(filespec.isDictionary());
  EXPECT_EQ(filespec.getKey("/F").getUTF8Value(), "factur-x.xml");
  EXPECT_EQ(filespec.getKey("/UF").getUTF8Value(), "factur-x.xml");
  EXPECT_TRUE(filespec.getKey("/AFRelationship").isNameAndEquals("/Alternative"));
  Obj file = filespec.getKey("/EF").getKey("/F");
  ASSERT_TRUE(file.isStream());
  EXPECT_EQ(out.Data(file), cii);
  EXPECT_TRUE(filespec.getKey("/EF").getKey("/UF").isSameObjectAs(file));
  Obj dict = file.getDict();
  EXPECT_TRUE(dict.getKey("/Type").isNameAndEquals("/EmbeddedFile"));
  EXPECT_TRUE(dict.getKey("/Subtype").isNameAndEquals("/text/xml"));
  EXPECT_EQ(dict.getKey("/Params").getKey("/Size").getIntValue(),
            static_cast<long long>(cii.size()));
  EXPECT_EQ(XmpFromPdfDate(dict.getKey("/Params").getKey("/ModDate").getUTF8Value()).size(), 25u);

  Obj af = out.root().getKey("/AF");
  ASSERT_TRUE(af.isArray());
  ASSERT_EQ(af.getArrayNItems(), 1);
  EXPECT_TRUE(af.getArrayItem(0).isSameObjectAs(filespec));
}

TEST(FacturX, MetadataDeclaresPdfA3bAndTheFacturXProfile) {
  Opened out(MakeFacturX(DrawInvoice({.title = "Invoice 1001"}), ExampleCii(), Sample()));
  Obj metadata = out.root().getKey("/Metadata");
  ASSERT_TRUE(metadata.isStream());
  EXPECT_TRUE(metadata.getDict().getKey("/Type").isNameAndEquals("/Metadata"));
  EXPECT_TRUE(metadata.getDict().getKey("/Subtype").isNameAndEquals("/XML"));
  const Xmp xmp = out.Metadata();
  ASSERT_TRUE(xmp.parsed());

  const struct {
    const char* path;
    const char* value;
  } expected[] = {
      {"//pdfaid:part", "3"},
      {"//pdfaid:conformance", "B"},
      {"//fx:DocumentType", "INVOICE"},
      {"//fx:DocumentFileName", "factur-x.xml"},
      {"//fx:Version", "1.0"},
      {"//fx:ConformanceLevel", "EN 16931"},
      {"//pdfaSchema:prefix", "fx"},
      {"//pdfaSchema:namespaceURI", "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#"},
      {"count(//pdfaSchema:property/rdf:Seq/rdf:li)", "4"},
  };
  for (const auto& e : expected) EXPECT_EQ(xmp.Value(e.path), e.value) << e.path;
  // Every fx property the packet uses is declared, as Text.
  for (const char* name : {"DocumentType", "DocumentFileName", "Version", "ConformanceLevel"}) {
    const std::string property = "//pdfaProperty:name[.='" + std::string(name) + "']/..";
    EXPECT_EQ(xmp.Value(property + "/pdfaProperty:valueType"), "Text") << name;
    EXPECT_EQ(xmp.Value(property + "/pdfaProperty:category"), "external") << name;
  }
  // Readers that scan the bytes for the packet find it.
  EXPECT_THAT(out.bytes(), HasSubstr("W5M0MpCehiHzreSzNTczkc9d"));
}

TEST(FacturX, InfoDictionaryAndXmpAgree) {
  const std::time_t before = std::time(nullptr);
  Document document = Sample();
  document.seller.name = "Smith & Sons <Export> \"GmbH\"";
  Opened out(MakeFacturX(DrawInvoice({.title = "R&D <M\xC3\xBCller> \x01invoice"}), ExampleCii(),
                         document));
  const std::time_t after = std::time(nullptr);
  const Xmp xmp = out.Metadata();
  ASSERT_TRUE(xmp.parsed());

  EXPECT_EQ(out.InfoText("/Title"), "R&D <M\xC3\xBCller> invoice");
  EXPECT_EQ(xmp.Value("//dc:title/rdf:Alt/rdf:li[@xml:lang='x-default']"), out.InfoText("/Title"));
  EXPECT_EQ(out.InfoText("/Author"), document.seller.name);
  EXPECT_EQ(xmp.Value("//dc:creator/rdf:Seq/rdf:li"), document.seller.name);
  EXPECT_EQ(out.InfoText("/Creator"), "TarvikInvoice");
  EXPECT_EQ(xmp.Value("//xmp:CreatorTool"), "TarvikInvoice");
  EXPECT_THAT(out.InfoText("/Producer"), HasSubstr("cairo"));
  EXPECT_EQ(xmp.Value("//pdf:Producer"), out.InfoText("/Producer"));
  EXPECT_EQ(xmp.Value("//xmp:CreateDate"), XmpFromPdfDate(out.InfoText("/CreationDate")));
  EXPECT_EQ(xmp.Value("//xmp:ModifyDate"), XmpFromPdfDate(out.InfoText("/ModDate")));
  EXPECT_LE(Utc(before), xmp.Value("//xmp:CreateDate"));
  EXPECT_GE(Utc(after), xmp.Value("//xmp:CreateDate"));
  // Entries without an XMP twin would be unchecked differences.
  for (const auto& key : out.info().getKeys()) {
    EXPECT_THAT((std::set<std::string>{"/Title", "/Author", "/Creator", "/Producer",
                                       "/CreationDate", "/ModDate"}),
                ::testing::Contains(key));
  }
}

TEST(FacturX, UntitledPdfIsTitledAfterTheDocument) {
  const struct {
    DocumentType type;
    const char* number;
    const char* title;
  } cases[] = {
      {DocumentType::kInvoice, "1001", "Invoice 1001"},
      {DocumentType::kCreditNote, "C-7", "Credit note C-7"},
  };
  for (const auto& c : cases) {
    Opened out(MakeFacturX(DrawInvoice(), ExampleCii(), Sample(c.type, c.number)));
    EXPECT_EQ(out.InfoText("/Title"), c.title);
    EXPECT_EQ(out.Metadata().Value("//dc:title/rdf:Alt/rdf:li"), c.title);
  }
}

TEST(FacturX, OutputIntentCarriesAnSrgbProfile) {
  Opened out(MakeFacturX(DrawInvoice(), ExampleCii(), Sample()));
  Obj intents = out.root().getKey("/OutputIntents");
  ASSERT_TRUE(intents.isArray());
  ASSERT_EQ(intents.getArrayNItems(), 1);
  Obj intent = intents.getArrayItem(0);
  EXPECT_TRUE(intent.getKey("/Type").isNameAndEquals("/OutputIntent"));
  EXPECT_TRUE(intent.getKey("/S").isNameAndEquals("/GTS_PDFA1"));
  EXPECT_FALSE(intent.getKey("/OutputConditionIdentifier").getUTF8Value().empty());
  Obj icc = intent.getKey("/DestOutputProfile");
  ASSERT_TRUE(icc.isStream());
  EXPECT_EQ(icc.getDict().getKey("/N").getIntValue(), 3);
  const std::string profile = out.Data(icc);
  std::unique_ptr<void, ProfileClose> rgb(
      cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())));
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(cmsGetColorSpace(rgb.get()), cmsSigRgbData);
  EXPECT_EQ(cmsGetDeviceClass(rgb.get()), cmsSigDisplayClass);
  EXPECT_LT(cmsGetProfileVersion(rgb.get()), 5.0) << "newer than PDF allows";
  // The profile really is sRGB: its white is the D50 white of the
  // connection space, its pure red the red sRGB defines.
  std::unique_ptr<void, ProfileClose> lab(cmsCreateLab4Profile(nullptr));
  std::unique_ptr<void, TransformFree> to_lab(cmsCreateTransform(
      rgb.get(), TYPE_RGB_8, lab.get(), TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0));
  ASSERT_NE(to_lab, nullptr);
  const unsigned char colours[][3] = {{255, 255, 255}, {255, 0, 0}};
  cmsCIELab measured[2];
  cmsDoTransform(to_lab.get(), colours, measured, 2);
  EXPECT_NEAR(measured[0].L, 100, 0.5);
  EXPECT_NEAR(measured[1].L, 54.3, 1.0);
  EXPECT_NEAR(measured[1].a, 80.8, 2.0);
}

TEST(FacturX, FileIsAnUnencryptedPdf17WithAnIdAndTheSamePages) {
  const std::string input = DrawInvoice();
  ASSERT_EQ(input.compare(0, 8, "%PDF-1.5"), 0)
      << "cairo's version changed; this test assumes an older one";
  Opened out(MakeFacturX(input, ExampleCii(), Sample()));
  EXPECT_EQ(out.bytes().compare(0, 8, "%PDF-1.7"), 0);
  EXPECT_FALSE(out.pdf().isEncrypted());
  Obj id = out.pdf().getTrailer().getKey("/ID");
  ASSERT_TRUE(id.isArray());
  ASSERT_EQ(id.getArrayNItems(), 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(id.getArrayItem(i).getStringValue().size(), 16u);
  EXPECT_EQ(QPDFPageDocumentHelper(out.pdf()).getAllPages().size(), 1u);
  EXPECT_FALSE(out.pdf().anyWarnings());
}

TEST(FacturX, PassesQpdfCheck) {
  if (std::system("command -v qpdf >/dev/null 2>&1") != 0) GTEST_SKIP() << "qpdf is not installed";
  const auto path = std::filesystem::temp_directory_path() /
                    ("facturx-check-" + std::to_string(getpid()) + ".pdf");
  {
    std::ofstream file(path, std::ios::binary);
    file << MakeFacturX(WithHiddenLink(DrawInvoice(
                            {.title = "Invoice 1001", .image = true, .international = true})),
                        ExampleCii(), Sample());
  }
  std::string report;
  FILE* pipe = popen(("qpdf --check '" + path.string() + "' 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char chunk[512];
  while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) report += chunk;
  const int status = pclose(pipe);
  std::filesystem::remove(path);
  EXPECT_EQ(status, 0) << report;
  EXPECT_THAT(report, HasSubstr("No syntax or stream encoding errors found")) << report;
}

TEST(FacturX, CairosSmoothedImagesAndHiddenLinksAreMadeArchivable) {
  const std::string drawn = DrawInvoice({.image = true});
  ASSERT_THAT(drawn, HasSubstr("/Interpolate true"))
      << "cairo no longer marks images; nothing left to test";
  Opened out(MakeFacturX(WithHiddenLink(drawn), ExampleCii(), Sample()));
  int images = 0, links = 0;
  for (Obj object : out.pdf().getAllObjects()) {
    if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image")) {
      ++images;
      EXPECT_FALSE(object.getDict().getKey("/Interpolate").isBool() &&
                   object.getDict().getKey("/Interpolate").getBoolValue());
    }
  }
  for (auto& page : QPDFPageDocumentHelper(out.pdf()).getAllPages()) {
    for (auto& annot : page.getAnnotations()) {
      ++links;
      const int flags = annot.getFlags();
      EXPECT_NE(flags & 4, 0) << "not printed";
      EXPECT_EQ(flags & (1 | 2 | 32), 0) << "hidden";
    }
  }
  EXPECT_EQ(images, 1);
  EXPECT_EQ(links, 1);
}

TEST(FacturX, CompositeTrueTypeFontsNameTheirGlyphMap) {
  const std::string drawn = DrawInvoice({.international = true});
  ASSERT_THAT(drawn, HasSubstr("/CIDFontType2"))
      << "cairo wrote no composite TrueType font; nothing to test";
  Opened out(MakeFacturX(drawn, ExampleCii(), Sample()));
  int fonts = 0;
  for (Obj object : out.pdf().getAllObjects()) {
    if (!object.isDictionary() || !object.getKey("/Subtype").isNameAndEquals("/CIDFontType2"))
      continue;
    ++fonts;
    EXPECT_TRUE(object.getKey("/CIDToGIDMap").isNameAndEquals("/Identity"));
  }
  EXPECT_GE(fonts, 1);
}

TEST(FacturX, ExportingTheResultAgainReplacesTheAttachment) {
  const std::string first = ExampleCii();
  std::string second = ReadFile(std::filesystem::path(TARVIK_SOURCE_DIR) /
                                "third_party/einvoice/examples/CII_example3.xml");
  ASSERT_NE(first, second);
  const std::string once = MakeFacturX(DrawInvoice(), first, Sample());
  Opened twice(MakeFacturX(once, second, Sample()));
  EXPECT_EQ(twice.Data(twice.Attachment().getKey("/EF").getKey("/F")), second);
  EXPECT_EQ(QPDFEmbeddedFileDocumentHelper(twice.pdf()).getEmbeddedFiles().size(), 1u);
  EXPECT_EQ(twice.root().getKey("/AF").getArrayNItems(), 1);
  EXPECT_EQ(twice.root().getKey("/OutputIntents").getArrayNItems(), 1);
  EXPECT_EQ(Opened(once).InfoText("/Producer"), twice.InfoText("/Producer"));
}

TEST(FacturX, UnreadablePdfIsAClearError) {
  const std::string pdf = DrawInvoice();
  const struct {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"empty", "", "invoice PDF cannot be read"},
      {"text", "Dear customer, please find the invoice attached.", "invoice PDF cannot be read"},
      {"truncated", pdf.substr(0, pdf.size() / 2), "invoice PDF cannot be read"},
      {"header only", "%PDF-1.5\n%%EOF\n", "invoice PDF cannot be read"},
      {"encrypted", Encrypted(pdf), "invoice PDF is encrypted"},
  };
  const std::string cii = ExampleCii();
  for (const auto& c : cases) EXPECT_THAT(ErrorOf(c.bytes, cii), HasSubstr(c.message)) << c.what;
}

TEST(FacturX, OnlyACiiInvoiceIsAttached) {
  const std::string pdf = DrawInvoice();
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"empty", ""},
      {"not XML", "<rsm:CrossIndustryInvoice"},
      {"UBL", "<Invoice xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:Invoice-2\"/>"},
      {"no namespace", "<CrossIndustryInvoice/>"},
  };
  for (const auto& c : cases) EXPECT_THAT(ErrorOf(pdf, c.xml), HasSubstr("CII")) << c.what;
}

}  // namespace
}  // namespace tarvik::einvoice
