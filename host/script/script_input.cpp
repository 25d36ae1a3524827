#include "host/script/script_input.h"

#include <istream>
#include <limits>

namespace tarvik::host {

LineRead ReadBoundedLine(std::istream& in, std::string& line, std::size_t max_bytes) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  if (!in.good() || !buffer) return LineRead::kEnd;
  using Traits = std::istream::traits_type;
  bool read_any = false;
  for (;;) {
    const Traits::int_type c = buffer->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      in.setstate(std::ios::eofbit);
      return read_any ? LineRead::kLine : LineRead::kEnd;
    }
    read_any = true;
    if (Traits::to_char_type(c) == '\n') return LineRead::kLine;
    if (line.size() == max_bytes) {
      line.clear();
      in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
      return LineRead::kTooLong;
    }
    line.push_back(Traits::to_char_type(c));
  }
}

}  // namespace tarvik::host
