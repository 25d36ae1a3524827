// How deep a JSON text nests, measured without parsing it: parsers, dumps
// and destructors of a document walk it recursively, so a text nested
// thousands deep must be refused before it becomes one.
#pragma once

#include <string_view>

namespace tarvik {

// True when `json_text` holds lists or objects nested more than max_depth
// deep. Brackets inside strings do not count; the text need not be valid.
bool NestedDeeperThan(std::string_view json_text, int max_depth);

}  // namespace tarvik
