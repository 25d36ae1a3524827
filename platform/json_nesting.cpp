#include "platform/json_nesting.h"

namespace tarvik {

bool NestedDeeperThan(std::string_view json_text, int max_depth) {
  int depth = 0;
  bool in_string = false;
  bool escaped = false;
  for (char c : json_text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        in_string = true;
        break;
      case '[':
      case '{':
        if (++depth > max_depth) return true;
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
  return false;
}

}  // namespace tarvik
