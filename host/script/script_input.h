// Reading a script without trusting its size: a line is read only up to a
// limit; what lies past it is skipped, never held in memory.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace tarvik::host {

enum class LineRead {
  kLine,     // `line` holds the next line, without its line feed
  kTooLong,  // the line was longer than the limit; it was skipped to its end
  kEnd,      // no more input
};

// Reads the next line into `line` (at most max_bytes of it).
LineRead ReadBoundedLine(std::istream& in, std::string& line, std::size_t max_bytes);

}  // namespace tarvik::host
