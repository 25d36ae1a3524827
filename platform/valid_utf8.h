// Text read from outside (the books, another program's bytes) made safe to
// hand on: a terminal, a JSON document and a PDF all need valid UTF-8.
#pragma once

#include <string>

namespace tarvik {

// The text itself when it is valid UTF-8, else with every invalid byte
// sequence replaced by U+FFFD (as Utf16 reads it). NUL characters stay.
std::string ValidUtf8(std::string text);

}  // namespace tarvik
