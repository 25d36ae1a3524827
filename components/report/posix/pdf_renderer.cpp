#include "components/report/pdf_renderer.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "components/report/printable_text.h"
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
constexpr double kTotalsFrom = 0.50;  // totals start at this share of the width
constexpr double kTotalsValue = 0.78;  // the values' least share
// The table's font steps down to these sizes before long values move to a
// line of their own.
constexpr double kScales[] = {1.0, 0.9, 0.8, 0.7};
// Measured widths and the same text set in a line differ by rounding.
constexpr double kSlack = 1.0;
// Families tried, in order, for characters the layout's own font lacks.
constexpr const char* kFallbackFamilies = "Noto Sans,Noto Sans CJK SC,Droid Sans Fallback";

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

std::string Text(const std::optional<data::Value>& v) {
  return v ? FormatValue(*v, Format::kText) : std::string();
}

std::optional<double> Number(const std::optional<data::Value>& v) {
  if (!v) return std::nullopt;
  if (auto* i = std::get_if<std::int64_t>(&*v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&*v)) return *d;
  return std::nullopt;
}

// Values the layout may use that no table holds: the orders an invoice
// covers, where it ships, when it is due and what is left to pay.
Record Derived(const InvoiceData& invoice, const Record& settings) {
  Record derived;
  std::vector<std::string> orders;
  std::set<std::string> shiptos;
  bool lines_know_shipto = false;
  for (const auto& line : invoice.lines) {
    const std::string order = Text(line.Find("order_number"));
    if (!order.empty() && std::find(orders.begin(), orders.end(), order) == orders.end()) {
      orders.push_back(order);
    }
    const std::string name = Text(line.Find("shipto_name"));
    if (!name.empty()) lines_know_shipto = true;
    shiptos.insert(name + '\n' + Text(line.Find("shipto_address")) + '\n' + Text(line.Find("shipto_city")));
  }
  std::string list;
  for (const auto& o : orders) list += (list.empty() ? "" : ", ") + o;
  if (list.empty()) list = Text(invoice.header.Find("order_number"));
  derived.Add("orders", list);
  derived.Add("orders_label", orders.size() > 1 ? std::string("Orders") : std::string("Order"));
  derived.Add("order_count", static_cast<std::int64_t>(orders.size()));
  // The lines know each order's ship-to: one for all of them stands in the
  // header, several leave it to the order heads.
  if (lines_know_shipto) {
    const Record* first = &invoice.lines.front();
    const bool one = shiptos.size() == 1;
    for (const char* column : {"shipto_name", "shipto_address", "shipto_city"}) {
      derived.Add(column, one ? first->Find(column).value_or(data::Value{}) : data::Value{});
    }
  }
  const auto total = Number(invoice.header.Find("total"));
  const auto paid = Number(invoice.header.Find("paid"));
  if (total) derived.Add("balance_due", *total - paid.value_or(0));
  const auto invoiced = invoice.header.Find("invoice_date");
  const std::string days = Text(settings.Find("payment_due_days"));
  int due_days = 0;
  const auto [end, ec] = std::from_chars(days.data(), days.data() + days.size(), due_days);
  if (invoiced && std::holds_alternative<data::DateValue>(*invoiced) && !days.empty() &&
      ec == std::errc() && end == days.data() + days.size()) {
    derived.Add("due_date", data::DateValue{std::floor(std::get<data::DateValue>(*invoiced).ole) + due_days});
  } else {
    derived.Add("due_date", data::Value{});
  }
  return derived;
}

struct AttrListDeleter {
  void operator()(PangoAttrList* a) const { pango_attr_list_unref(a); }
};
using AttrList = std::unique_ptr<PangoAttrList, AttrListDeleter>;

// How the table of lines is set for one invoice: its font size, the width
// of each column, and which columns let a value too wide for them move to
// a line of its own.
struct TableFit {
  double scale = 1;
  std::vector<double> widths;
  std::vector<double> unbroken;  // the widest piece each column must hold
  std::vector<bool> own_line;
};

// One pass over the invoices. The measuring pass draws nothing and only
// counts pages; the drawing pass knows the page count for the footer.
class Pass {
 public:
  Pass(cairo_t* cr, bool draw, const Layout& layout, const Record& settings,
       const FormulaLookup& formulas)
      : cr_(cr), draw_(draw), layout_(layout), settings_(settings), formulas_(formulas) {
    no_hyphens_.reset(pango_attr_list_new());
    pango_attr_list_insert(no_hyphens_.get(), pango_attr_insert_hyphens_new(FALSE));
    const std::string pattern = Text(settings.Find("date_format"));
    if (!pattern.empty()) style_.date_pattern = pattern;
  }

  // Returns the number of pages the invoice took.
  int Invoice(const InvoiceData& invoice, int pages_known) {
    invoice_ = &invoice;
    derived_ = Derived(invoice, settings_);
    pages_known_ = pages_known;
    page_ = 1;
    footer_height_ = -1;
    y_ = layout_.margin;
    page_start_y_ = y_;
    Prepare();
    for (const auto& item : layout_.top) {
      if (item.is_row) BlockRow(item.blocks);
      else Paragraph(item.text);
    }
    page_start_y_ = y_;
    Heads();
    heads_ = true;
    const bool grouped = layout_.group && GroupCount() > 1;
    group_.reset();
    std::string group;
    for (std::size_t i = 0; i < invoice.lines.size(); ++i) {
      if (grouped) {
        const std::string g = Text(invoice.lines[i].Find(layout_.group->by));
        if (i == 0 || g != group) GroupHead(i);
        group = g;
      }
      Line(i);
    }
    heads_ = false;
    group_.reset();
    y_ += kGap / 2;
    Totals();
    for (const auto& note : layout_.notes) Paragraph(note);
    FinishPage();
    return page_;
  }

 private:
  double Width() const { return layout_.page_width - 2 * layout_.margin; }
  double Left() const { return layout_.margin; }
  double Bottom() {
    return layout_.page_height - layout_.margin - FooterHeight() - kGap / 2;
  }

  PangoFontDescription* FontFor(const std::string& role, double scale = 1) {
    const std::string key = layout_.FontFace(role) + "@" + std::to_string(scale);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
      FontDescription font(pango_font_description_from_string(layout_.FontFace(role).c_str()));
      const char* family = pango_font_description_get_family(font.get());
      const std::string families = std::string(family ? family : "DejaVu Sans") + "," + kFallbackFamilies;
      pango_font_description_set_family(font.get(), families.c_str());
      const int size = pango_font_description_get_size(font.get());
      if (size > 0) pango_font_description_set_size(font.get(), static_cast<int>(size * scale));
      it = fonts_.emplace(key, std::move(font)).first;
    }
    return it->second.get();
  }

  // width < 0: one line, never wrapped (for measuring a piece).
  TextLayout Make(const std::string& text, const std::string& font, double width, Align align,
                  double scale = 1) {
    TextLayout l(pango_cairo_create_layout(cr_));
    pango_layout_set_font_description(l.get(), FontFor(font, scale));
    pango_layout_set_attributes(l.get(), no_hyphens_.get());
    if (width >= 0) {
      pango_layout_set_width(l.get(), static_cast<int>(std::max(width, 1.0) * PANGO_SCALE));
      pango_layout_set_wrap(l.get(), PANGO_WRAP_WORD);
    }
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
              Align align, double scale = 1) {
    TextLayout l = Make(text, font, width, align, scale);
    if (draw_) {
      cairo_move_to(cr_, x, y);
      pango_cairo_show_layout(cr_, l.get());
    }
    return Height(l.get());
  }

  double Measure(const std::string& text, const std::string& font, double width, double scale = 1) {
    return Height(Make(text, font, width, Align::kLeft, scale).get());
  }

  // The widest piece of a text that may not be broken, at full size.
  double WidestPiece(const std::string& text, const std::string& font) {
    double widest = 0;
    for (const auto& piece : UnbreakablePieces(text)) {
      const std::string key = font + '\x1f' + piece;
      auto it = piece_widths_.find(key);
      if (it == piece_widths_.end()) {
        int w = 0, h = 0;
        pango_layout_get_size(Make(piece, font, -1, Align::kLeft).get(), &w, &h);
        it = piece_widths_.emplace(key, static_cast<double>(w) / PANGO_SCALE).first;
      }
      widest = std::max(widest, it->second);
    }
    return widest;
  }

  // The width of a text set on one line, at full size.
  double LineWidth(const std::string& text, const std::string& font) {
    double widest = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      int w = 0, h = 0;
      pango_layout_get_size(Make(line, font, -1, Align::kLeft).get(), &w, &h);
      widest = std::max(widest, static_cast<double>(w) / PANGO_SCALE);
    }
    return widest;
  }

  // Placeholder values: the current line, what is derived, the header, the
  // settings, the page, the formulas.
  std::string Expand(const TextTemplate& t, const Record* line = nullptr) {
    auto lookup = [&](const std::string& name) -> std::optional<data::Value> {
      std::optional<data::Value> v;
      if (line) v = line->Find(name);
      if (!v) v = derived_.Find(name);
      if (!v) v = invoice_->header.Find(name);
      if (!v) v = settings_.Find(name);
      if (!v && name == "page") v = data::Value(std::int64_t{page_});
      if (!v && name == "pages") v = data::Value(std::int64_t{pages_known_});
      if (!v) v = formulas_(name);
      if (v) {
        if (auto* s = std::get_if<std::string>(&*v)) *v = PrintableText(*s, line == nullptr);
      }
      return v;
    };
    try {
      return t.Expand(lookup, style_);
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
    // A group running over the page break is headed again.
    if (group_) DrawGroupHead(*group_);
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

  // Blocks left empty are dropped and the others share the row.
  void BlockRow(const std::vector<Block>& blocks) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& b : blocks) {
      std::string value = WithoutEmptyLines(Expand(b.value));
      if (!value.empty()) texts.emplace_back(Expand(b.title), std::move(value));
    }
    if (texts.empty()) return;
    const double n = static_cast<double>(texts.size());
    const double w = (Width() - kGap * (n - 1)) / n;
    double h = 0;
    for (const auto& [title, value] : texts) {
      double bh = Measure(value, "body", w - 2 * kPad);
      if (!title.empty()) bh += Measure(title, "head", w - 2 * kPad);
      h = std::max(h, bh + 2 * kPad);
    }
    Need(h);
    for (std::size_t i = 0; i < texts.size(); ++i) {
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

  std::size_t GroupCount() {
    std::set<std::string> groups;
    for (const auto& line : invoice_->lines) groups.insert(Text(line.Find(layout_.group->by)));
    return groups.size();
  }

  // Fills the cells and heads and sets the table before anything is placed.
  void Prepare() {
    heads_text_.clear();
    for (const auto& c : layout_.columns) heads_text_.push_back(Expand(c.head));
    cells_.clear();
    for (const auto& line : invoice_->lines) {
      std::vector<std::string> texts;
      for (const auto& c : layout_.columns) texts.push_back(Expand(c.value, &line));
      cells_.push_back(std::move(texts));
    }
    fit_ = FitTable();
  }

  // Numbers and codes are never broken: every column is at least as wide
  // as its widest piece; the weights share out what is left. When the
  // pieces do not fit side by side the font steps down, and at the smallest
  // size the widest columns let their longest values take a line of their
  // own.
  TableFit FitTable() {
    const std::size_t n = layout_.columns.size();
    std::vector<double> head(n, 0), value(n, 0), share(n, 0);
    double weights = 0;
    for (const auto& c : layout_.columns) weights += c.width;
    for (std::size_t i = 0; i < n; ++i) {
      share[i] = Width() * layout_.columns[i].width / weights;
      head[i] = WidestPiece(heads_text_[i], "head");
      for (const auto& texts : cells_) value[i] = std::max(value[i], WidestPiece(texts[i], "body"));
    }
    TableFit fit;
    fit.own_line.assign(n, false);
    std::vector<double> need(n);
    for (double scale : kScales) {
      fit.scale = scale;
      double sum = 0;
      for (std::size_t i = 0; i < n; ++i) {
        need[i] = std::max(head[i], value[i]) * scale + 2 * kPad + kSlack;
        sum += need[i];
      }
      if (sum <= Width()) break;
    }
    auto total = [&] {
      double sum = 0;
      for (double w : need) sum += w;
      return sum;
    };
    while (total() > Width()) {
      // The column that overshoots its share the most gives way.
      std::size_t worst = n;
      for (std::size_t i = 0; i < n; ++i) {
        if (fit.own_line[i]) continue;
        if (worst == n || need[i] - share[i] > need[worst] - share[worst]) worst = i;
      }
      if (worst == n) break;
      fit.own_line[worst] = true;
      need[worst] = std::max(share[worst], head[worst] * fit.scale + 2 * kPad + kSlack);
    }
    fit.unbroken = need;
    // What is left goes first to the columns whose values would otherwise
    // wrap (by weight, each up to its widest value), then to all by weight.
    std::vector<double> full(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      for (const auto& texts : cells_) full[i] = std::max(full[i], LineWidth(texts[i], "body"));
      full[i] = std::max(need[i], full[i] * fit.scale + 2 * kPad + kSlack);
    }
    fit.widths = need;
    double left = Width() - total();
    for (int round = 0; round < 8 && left > 0.5; ++round) {
      double weight = 0;
      for (std::size_t i = 0; i < n; ++i) {
        if (fit.widths[i] < full[i]) weight += layout_.columns[i].width;
      }
      if (weight == 0) break;
      double given = 0;
      for (std::size_t i = 0; i < n; ++i) {
        if (fit.widths[i] >= full[i]) continue;
        const double more = std::min(left * layout_.columns[i].width / weight, full[i] - fit.widths[i]);
        fit.widths[i] += more;
        given += more;
      }
      left -= given;
    }
    if (left > 0) {
      for (std::size_t i = 0; i < n; ++i) fit.widths[i] += left * layout_.columns[i].width / weights;
    }
    return fit;
  }

  bool OnOwnLine(std::size_t column, const std::string& text) {
    return fit_.own_line[column] &&
           WidestPiece(text, "body") * fit_.scale + 2 * kPad + kSlack > fit_.widths[column];
  }

  // One table row: the texts in their columns, values too wide for their
  // column on full-width lines under it, a rule under all.
  void Cells(const std::vector<std::string>& texts, const std::string& font, bool shaded) {
    double h = 0;
    std::vector<std::string> shown = texts;
    std::vector<std::string> own;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (!shaded && OnOwnLine(i, texts[i])) {
        own.push_back(heads_text_[i] + ": " + texts[i]);
        shown[i].clear();
      }
      h = std::max(h, Measure(shown[i], font, fit_.widths[i] - 2 * kPad, fit_.scale));
    }
    h += 2 * kPad;
    std::vector<double> own_heights;
    double own_total = 0;
    for (const auto& text : own) {
      own_heights.push_back(Measure(text, font, Width() - 4 * kPad, fit_.scale));
      own_total += own_heights.back();
    }
    if (!shaded) Need(h + own_total);
    if (draw_ && shaded) {
      cairo_set_source_rgb(cr_, 0.88, 0.88, 0.88);
      cairo_rectangle(cr_, Left(), y_, Width(), h);
      cairo_fill(cr_);
      cairo_set_source_rgb(cr_, 0, 0, 0);
    }
    double x = Left();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      Show(shown[i], font, x + kPad, y_ + kPad, fit_.widths[i] - 2 * kPad, layout_.columns[i].align,
           fit_.scale);
      x += fit_.widths[i];
    }
    y_ += h;
    for (std::size_t k = 0; k < own.size(); ++k) {
      Show(own[k], font, Left() + 3 * kPad, y_, Width() - 4 * kPad, Align::kLeft, fit_.scale);
      y_ += own_heights[k];
    }
    if (!own.empty()) y_ += kPad;
    if (draw_) {
      cairo_set_line_width(cr_, 0.3);
      cairo_move_to(cr_, Left(), y_);
      cairo_line_to(cr_, Left() + Width(), y_);
      cairo_stroke(cr_);
    }
  }

  double RowHeight(std::size_t line) {
    double h = 0;
    for (std::size_t i = 0; i < cells_[line].size(); ++i) {
      h = std::max(h, Measure(cells_[line][i], "body", fit_.widths[i] - 2 * kPad, fit_.scale));
    }
    return h + 2 * kPad;
  }

  void Heads() {
    double h = 0;
    for (std::size_t i = 0; i < heads_text_.size(); ++i) {
      h = std::max(h, Measure(heads_text_[i], "head", fit_.widths[i] - 2 * kPad, fit_.scale));
    }
    // The heads and at least one line stay together.
    Need(2 * (h + 2 * kPad));
    Cells(heads_text_, "head", true);
  }

  // The head of a group stays with the group's first line.
  void GroupHead(std::size_t line) {
    group_.reset();
    Need(GroupHeadHeight(line) + RowHeight(line) + KeptWith(line));
    DrawGroupHead(line);
    group_ = line;
  }

  std::string GroupHeadText(std::size_t line) {
    return WithoutEmptyLines(Expand(layout_.group->value, &invoice_->lines[line]));
  }

  double GroupHeadHeight(std::size_t line) {
    return Measure(GroupHeadText(line), "head", Width() - 2 * kPad) + 2 * kPad;
  }

  void DrawGroupHead(std::size_t line) {
    const double h = GroupHeadHeight(line);
    if (draw_) {
      cairo_set_source_rgb(cr_, 0.95, 0.95, 0.95);
      cairo_rectangle(cr_, Left(), y_, Width(), h);
      cairo_fill(cr_);
      cairo_set_source_rgb(cr_, 0, 0, 0);
    }
    Show(GroupHeadText(line), "head", Left() + kPad, y_ + kPad, Width() - 2 * kPad, Align::kLeft);
    y_ += h;
  }

  void Line(std::size_t line) {
    Need(RowHeight(line) + KeptWith(line));
    Cells(cells_[line], "body", false);
  }

  struct TotalRow {
    std::string label, value, font;
    double h = 0;
  };
  struct TotalsBlock {
    std::vector<TotalRow> rows;
    double label_x = 0, label_w = 0, value_w = 0, height = 0;
  };

  // The totals set as one block; the values' column is as wide as the
  // widest value, so none is broken.
  TotalsBlock SetTotals() {
    TotalsBlock b;
    b.value_w = Width() * (1 - kTotalsValue);
    for (const auto& total : layout_.totals) {
      TotalRow r{Expand(total.label), Expand(total.value), total.font};
      if (r.value.empty()) continue;
      int w = 0, h = 0;
      pango_layout_get_size(Make(r.value, r.font, -1, Align::kRight).get(), &w, &h);
      b.value_w = std::max(b.value_w, static_cast<double>(w) / PANGO_SCALE + kPad + kSlack);
      b.rows.push_back(std::move(r));
    }
    b.value_w = std::min(b.value_w, Width() / 2);
    b.label_x = std::min(Width() * kTotalsFrom, Width() / 2 - b.value_w / 2);
    b.label_w = Width() - b.value_w - b.label_x - kPad;
    for (auto& r : b.rows) {
      r.h = std::max(Measure(r.label, r.font, b.label_w), Measure(r.value, r.font, b.value_w - kPad)) + kPad;
      b.height += r.h;
    }
    b.height += kGap / 2;
    return b;
  }

  // The totals move as one block: all on this page or all on the next.
  void Totals() {
    const TotalsBlock b = SetTotals();
    Need(b.height);
    for (const auto& r : b.rows) {
      Show(r.label, r.font, Left() + b.label_x, y_, b.label_w, Align::kRight);
      Show(r.value, r.font, Left() + Width() - b.value_w, y_, b.value_w - kPad, Align::kRight);
      y_ += r.h;
    }
    y_ += kGap / 2;
  }

  // What must stand below line i on its page: the totals go with the last
  // line, so no page holds totals without a line and its heads above them.
  double KeptWith(std::size_t line) {
    if (line + 1 != invoice_->lines.size()) return 0;
    const double totals = kGap / 2 + SetTotals().height;
    return totals < (Bottom() - page_start_y_) / 2 ? totals : 0;
  }

  cairo_t* cr_;
  bool draw_;
  const Layout& layout_;
  const Record& settings_;
  const FormulaLookup& formulas_;
  FormatStyle style_;
  AttrList no_hyphens_;
  std::map<std::string, FontDescription> fonts_;
  std::map<std::string, double> piece_widths_;
  const InvoiceData* invoice_ = nullptr;
  Record derived_;
  std::vector<std::string> heads_text_;
  std::vector<std::vector<std::string>> cells_;
  TableFit fit_;
  int page_ = 1;
  int pages_known_ = 0;
  double y_ = 0;
  double page_start_y_ = 0;
  bool setting_up_ = false;
  double footer_height_ = -1;
  bool heads_ = false;
  std::optional<std::size_t> group_;  // first line of the group being printed
};

void Check(cairo_status_t status, const std::string& path) {
  if (status != CAIRO_STATUS_SUCCESS) {
    RaiseError(75, "Cannot write " + path + ": " + cairo_status_to_string(status));
  }
}

}  // namespace

RenderedDocument RenderPdf(const Layout& layout, const std::vector<InvoiceData>& invoices,
                           const Record& settings, const FormulaLookup& formulas,
                           const std::string& title, const std::string& path,
                           ExistingOutput existing) {
  // Measuring on a PDF surface too, so both passes see the same font metrics.
  std::vector<int> pages;
  {
    Surface sink(cairo_pdf_surface_create_for_stream(Discard, nullptr, layout.page_width,
                                                     layout.page_height));
    Context cr(cairo_create(sink.get()));
    Pass measure(cr.get(), false, layout, settings, formulas);
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
      Pass draw(cr.get(), true, layout, settings, formulas);
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
