#include "tests/report/page_geometry.h"

#include <algorithm>
#include <regex>

#include "tests/report/printed_invoice.h"

namespace tarvik::testing {
namespace {

std::string Unescape(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : kEntities) {
    for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::string(entity).size(), plain);
    }
  }
  return text;
}

std::string Describe(const PlacedWord& w) {
  return "'" + w.text + "' p" + std::to_string(w.page) + " [" + std::to_string(w.x_min) + "," +
         std::to_string(w.y_min) + " - " + std::to_string(w.x_max) + "," + std::to_string(w.y_max) + "]";
}

}  // namespace

PageGeometry PageGeometry::Read(const std::string& pdf) {
  const std::string html = PdfCommandOutput("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
  PageGeometry g;
  static const std::regex page(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
  static const std::regex word(
      R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
  std::size_t at = 0;
  std::vector<std::size_t> page_starts;
  for (std::sregex_iterator it(html.begin(), html.end(), page), end; it != end; ++it) {
    g.width = std::stod((*it)[1]);
    g.height = std::stod((*it)[2]);
    page_starts.push_back(static_cast<std::size_t>(it->position()));
  }
  g.pages = static_cast<int>(page_starts.size());
  for (std::sregex_iterator it(html.begin(), html.end(), word), end; it != end; ++it) {
    at = static_cast<std::size_t>(it->position());
    const int on = static_cast<int>(std::upper_bound(page_starts.begin(), page_starts.end(), at) -
                                    page_starts.begin());
    g.words.push_back({on, std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                       std::stod((*it)[4]), Unescape((*it)[5])});
  }
  return g;
}

const PlacedWord* PageGeometry::Find(const std::string& text) const {
  for (const auto& w : words) {
    if (w.text == text) return &w;
  }
  return nullptr;
}

std::vector<std::string> PageGeometry::Overlaps() const {
  // Glyph boxes of neighbouring lines may touch; a real collision is wider.
  constexpr double kHair = 1.0;
  std::vector<std::string> found;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const auto& a = words[i];
    for (std::size_t j = i + 1; j < words.size(); ++j) {
      const auto& b = words[j];
      if (a.page != b.page) continue;
      const double dx = std::min(a.x_max, b.x_max) - std::max(a.x_min, b.x_min);
      const double dy = std::min(a.y_max, b.y_max) - std::max(a.y_min, b.y_min);
      if (dx > kHair && dy > kHair) found.push_back(Describe(a) + " overlaps " + Describe(b));
    }
  }
  return found;
}

std::vector<std::string> PageGeometry::OffPage() const {
  std::vector<std::string> found;
  for (const auto& w : words) {
    if (w.x_min < 0 || w.y_min < 0 || w.x_max > width || w.y_max > height) found.push_back(Describe(w));
  }
  return found;
}

}  // namespace tarvik::testing
