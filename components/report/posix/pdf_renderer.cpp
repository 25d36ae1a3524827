#include "components/report/pdf_renderer.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/error.h"
#include "platform/posix/replacement_file.h"

namespace tarvik::components::report {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* f) const { pango_font_description_free(f); }
};
struct ObjectDeleter {
  void operator()(void* o) const { g_object_unref(o); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;
using FontDescription = std::unique_ptr<PangoFontDescription, FontDeleter>;
using TextLayout = std::unique_ptr<PangoLayout, ObjectDeleter>;

constexpr double kPad = 3;        // inside table cells and blocks
constexpr double kGap = 10;       // between blocks, and after top items
constexpr double kTotalsFrom = 0.55;  // totals start at this share of the width
constexpr double kTotalsValue = 0.80;

cairo_status_t Discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

cairo_status_t WriteTo(void* file, const unsigned char* data, unsigned int length) {
  try {
    static_cast<ReplacementFile*>(file)->Write(
        std::string_view(reinterpret_cast<const char*>(data), length));
    return CAIRO_STATUS_SUCCESS;
  } catch (const AutomationError&) {
    return CAIRO_STATUS_WRITE_ERROR;
  }
}

PangoAlignment ToPango(Align a) {
  switch (a) {
    case Align::kCenter:
      return PANGO_ALIGN_CENTER;
    case Align::kRight:
      return PANGO_ALIGN_RIGHT;
    case Align::kLeft:
      break;
  }
  return PANGO_ALIGN_LEFT;
}

// Drops the lines that are empty (an address without its second line).
std::string WithoutEmptyLines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (!out.empty()) out += '\n';
    out += line;
  }
  return out;
}

// One pass over the invoices. The measuring pass draws nothing and only
// counts pages; the drawing pass knows the page count for the footer.
class Pass {
 public:
  Pass(cairo_t* cr, bool draw, const Layout& layout, const FormulaLookup& formulas)
      : cr_(cr), draw_(draw), layout_(layout), formulas_(formulas) {}

  // Returns the number of pages the invoice took.
  int Invoice(const InvoiceData& invoice, int pages_known) {
    invoice_ = &invoice;
    pages_known_ = pages_known;
    page_ = 1;
    y_ = layout_.margin;
    page_start_y_ = y_;
    for (const auto& item : layout_.top) {
      if (item.is_row) BlockRow(item.blocks);
      else Paragraph(item.text);
    }
    page_start_y_ = y_;
    Heads();
    heads_ = true;
    for (const auto& line : invoice.lines) Line(line);
    heads_ = false;
    y_ += kGap / 2;
    for (const auto& total : layout_.totals) Total(total);
    FinishPage();
    return page_;
  }

 private:
  double Width() const { return layout_.page_width - 2 * layout_.margin; }
  double Left() const { return layout_.margin; }
  double Bottom() {
    return layout_.page_height - layout_.margin - FooterHeight() - kGap / 2;
  }

  PangoFontDescription* FontFor(const std::string& role) {
    const std::string& face = layout_.FontFace(role);
    auto it = fonts_.find(face);
    if (it == fonts_.end()) {
      it = fonts_.emplace(face, FontDescription(pango_font_description_from_string(face.c_str())))
               .first;
    }
    return it->second.get();
  }

  TextLayout Make(const std::string& text, const std::string& font, double width, Align align) {
    TextLayout l(pango_cairo_create_layout(cr_));
    pango_layout_set_font_description(l.get(), FontFor(font));
    pango_layout_set_width(l.get(), static_cast<int>(std::max(width, 1.0) * PANGO_SCALE));
    pango_layout_set_wrap(l.get(), PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(l.get(), ToPango(align));
    pango_layout_set_text(l.get(), text.c_str(), -1);
    return l;
  }

  static double Height(PangoLayout* l) {
    int w = 0, h = 0;
    pango_layout_get_size(l, &w, &h);
    return static_cast<double>(h) / PANGO_SCALE;
  }

  double Show(const std::string& text, const std::string& font, double x, double y, double width,
              Align align) {
    TextLayout l = Make(text, font, width, align);
    if (draw_) {
      cairo_move_to(cr_, x, y);
      pango_cairo_show_layout(cr_, l.get());
    }
    return Height(l.get());
  }

  double Measure(const std::string& text, const std::string& font, double width) {
    return Height(Make(text, font, width, Align::kLeft).get());
  }

  // Placeholder values: the current line, the header, the page, the formulas.
  std::string Expand(const TextTemplate& t, const Record* line = nullptr) {
    auto lookup = [&](const std::string& name) -> std::optional<data::Value> {
      if (line) {
        if (auto v = line->Find(name)) return v;
      }
      if (auto v = invoice_->header.Find(name)) return v;
      if (name == "page") return data::Value(std::int64_t{page_});
      if (name == "pages") return data::Value(std::int64_t{pages_known_});
      return formulas_(name);
    };
    try {
      return t.Expand(lookup);
    } catch (const std::out_of_range& e) {
      RaiseError(kErrReportFileMalformed,
                 "Report file " + layout_.file + ", line " + std::to_string(t.line()) +
                     ": an unknown field (neither a column of the report tables nor a "
                     "formula)");
    }
  }

  double FooterHeight() {
    if (layout_.footer.empty()) return 0;
    if (footer_height_ < 0) footer_height_ = Measure(Expand(layout_.footer), "body", Width());
    return footer_height_;
  }

  void FinishPage() {
    if (!layout_.footer.empty()) {
      Show(Expand(layout_.footer), "body", Left(),
           layout_.page_height - layout_.margin - FooterHeight(), Width(), Align::kCenter);
    }
    if (draw_) cairo_show_page(cr_);
  }

  void NewPage() {
    FinishPage();
    ++page_;
    y_ = layout_.margin;
    setting_up_ = true;
    if (!layout_.continued.empty()) {
      y_ += Show(Expand(layout_.continued), "body", Left(), y_, Width(), Align::kLeft) + kGap / 2;
    }
    if (heads_) Heads();
    setting_up_ = false;
    page_start_y_ = y_;
  }

  // Room for h more points, or a new page. A piece taller than a whole page
  // is drawn on a fresh one rather than cut.
  void Need(double h) {
    if (!setting_up_ && y_ + h > Bottom() && y_ > page_start_y_ + 0.5) NewPage();
  }

  void Paragraph(const TextItem& item) {
    const std::string text = WithoutEmptyLines(Expand(item.value));
    if (text.empty()) return;
    const double h = Measure(text, item.font, Width());
    Need(h);
    y_ += Show(text, item.font, Left(), y_, Width(), item.align) + kGap / 2;
  }

  void BlockRow(const std::vector<Block>& blocks) {
    if (blocks.empty()) return;
    const double n = static_cast<double>(blocks.size());
    const double w = (Width() - kGap * (n - 1)) / n;
    std::vector<std::pair<std::string, std::string>> texts;
    double h = 0;
    for (const auto& b : blocks) {
      texts.emplace_back(Expand(b.title), WithoutEmptyLines(Expand(b.value)));
      double bh = Measure(texts.back().second, "body", w - 2 * kPad);
      if (!texts.back().first.empty()) bh += Measure(texts.back().first, "head", w - 2 * kPad);
      h = std::max(h, bh + 2 * kPad);
    }
    Need(h);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const double x = Left() + static_cast<double>(i) * (w + kGap);
      double ty = y_ + kPad;
      if (!texts[i].first.empty()) {
        ty += Show(texts[i].first, "head", x + kPad, ty, w - 2 * kPad, Align::kLeft);
      }
      Show(texts[i].second, "body", x + kPad, ty, w - 2 * kPad, Align::kLeft);
      if (draw_) {
        cairo_set_line_width(cr_, 0.5);
        cairo_rectangle(cr_, x, y_, w, h);
        cairo_stroke(cr_);
      }
    }
    y_ += h + kGap;
  }

  std::vector<double> ColumnWidths() {
    double sum = 0;
    for (const auto& c : layout_.columns) sum += c.width;
    std::vector<double> widths;
    for (const auto& c : layout_.columns) widths.push_back(Width() * c.width / sum);
    return widths;
  }

  // One table row: the texts in their columns, a rule under it.
  void Cells(const std::vector<std::string>& texts, const std::string& font, bool shaded) {
    const auto widths = ColumnWidths();
    double h = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      h = std::max(h, Measure(texts[i], font, widths[i] - 2 * kPad));
    }
    h += 2 * kPad;
    if (!shaded) Need(h);
    if (draw_ && shaded) {
      cairo_set_source_rgb(cr_, 0.88, 0.88, 0.88);
      cairo_rectangle(cr_, Left(), y_, Width(), h);
      cairo_fill(cr_);
      cairo_set_source_rgb(cr_, 0, 0, 0);
    }
    double x = Left();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      Show(texts[i], font, x + kPad, y_ + kPad, widths[i] - 2 * kPad, layout_.columns[i].align);
      x += widths[i];
    }
    y_ += h;
    if (draw_) {
      cairo_set_line_width(cr_, 0.3);
      cairo_move_to(cr_, Left(), y_);
      cairo_line_to(cr_, Left() + Width(), y_);
      cairo_stroke(cr_);
    }
  }

  void Heads() {
    std::vector<std::string> texts;
    for (const auto& c : layout_.columns) texts.push_back(Expand(c.head));
    const auto widths = ColumnWidths();
    double h = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      h = std::max(h, Measure(texts[i], "head", widths[i] - 2 * kPad));
    }
    // The heads and at least one line stay together.
    Need(2 * (h + 2 * kPad));
    Cells(texts, "head", true);
  }

  void Line(const Record& line) {
    std::vector<std::string> texts;
    for (const auto& c : layout_.columns) texts.push_back(Expand(c.value, &line));
    Cells(texts, "body", false);
  }

  void Total(const struct Total& total) {
    const std::string label = Expand(total.label);
    const std::string value = Expand(total.value);
    const double lw = Width() * (kTotalsValue - kTotalsFrom) - kPad;
    const double vw = Width() * (1 - kTotalsValue);
    const double h = std::max(Measure(label, total.font, lw), Measure(value, total.font, vw));
    Need(h + kPad);
    Show(label, total.font, Left() + Width() * kTotalsFrom, y_, lw, Align::kRight);
    Show(value, total.font, Left() + Width() * kTotalsValue, y_, vw - kPad, Align::kRight);
    y_ += h + kPad;
  }

  cairo_t* cr_;
  bool draw_;
  const Layout& layout_;
  const FormulaLookup& formulas_;
  std::map<std::string, FontDescription> fonts_;
  const InvoiceData* invoice_ = nullptr;
  int page_ = 1;
  int pages_known_ = 0;
  double y_ = 0;
  double page_start_y_ = 0;
  bool setting_up_ = false;
  double footer_height_ = -1;
  bool heads_ = false;
};

void Check(cairo_status_t status, const std::string& path) {
  if (status != CAIRO_STATUS_SUCCESS) {
    RaiseError(75, "Cannot write " + path + ": " + cairo_status_to_string(status));
  }
}

}  // namespace

RenderedDocument RenderPdf(const Layout& layout, const std::vector<InvoiceData>& invoices,
                           const FormulaLookup& formulas, const std::string& title,
                           const std::string& path, ExistingOutput existing) {
  // Measuring on a PDF surface too, so both passes see the same font metrics.
  std::vector<int> pages;
  {
    Surface sink(cairo_pdf_surface_create_for_stream(Discard, nullptr, layout.page_width,
                                                     layout.page_height));
    Context cr(cairo_create(sink.get()));
    Pass measure(cr.get(), false, layout, formulas);
    for (const auto& invoice : invoices) pages.push_back(measure.Invoice(invoice, 0));
  }

  // PDFs are for reading by anyone who may read the folder, writing by the owner.
  ReplacementFile file(path, 0644);
  RenderedDocument document;
  {
    Surface pdf(cairo_pdf_surface_create_for_stream(WriteTo, &file, layout.page_width,
                                                    layout.page_height));
    Check(cairo_surface_status(pdf.get()), path);
    cairo_pdf_surface_set_metadata(pdf.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
    cairo_pdf_surface_set_metadata(pdf.get(), CAIRO_PDF_METADATA_CREATOR, "TarvikInvoice");
    {
      Context cr(cairo_create(pdf.get()));
      Pass draw(cr.get(), true, layout, formulas);
      for (std::size_t i = 0; i < invoices.size(); ++i) {
        document.pages += draw.Invoice(invoices[i], pages[i]);
      }
      Check(cairo_status(cr.get()), path);
    }
    cairo_surface_finish(pdf.get());
    Check(cairo_surface_status(pdf.get()), path);
  }
  file.Commit(existing == ExistingOutput::kReplace ? ReplacementFile::Existing::kReplace
                                                   : ReplacementFile::Existing::kRefuse);
  return document;
}

}  // namespace tarvik::components::report
