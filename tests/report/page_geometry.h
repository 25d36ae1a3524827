// Where pdftotext finds each word of a PDF (`pdftotext -bbox`), for checks
// that no word is broken, overlaps another or leaves its page.
#pragma once

#include <string>
#include <vector>

namespace tarvik::testing {

struct PlacedWord {
  int page = 0;  // 1-based
  double x_min = 0, y_min = 0, x_max = 0, y_max = 0;
  std::string text;
};

struct PageGeometry {
  double width = 0, height = 0;
  std::vector<PlacedWord> words;
  int pages = 0;

  static PageGeometry Read(const std::string& pdf);
  // The first word equal to text, or nullptr.
  const PlacedWord* Find(const std::string& text) const;
  // Pairs of words whose boxes overlap by more than a hair, as text.
  std::vector<std::string> Overlaps() const;
  // Words reaching outside their page.
  std::vector<std::string> OffPage() const;
};

}  // namespace tarvik::testing
