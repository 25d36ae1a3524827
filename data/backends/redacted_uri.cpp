// Connection texts in messages never show a password.
#include "data/backends/postgres/postgres_backend.h"

namespace tarvik::data {

std::string RedactedUri(const std::string& uri) {
  const std::size_t scheme = uri.find("://");
  const std::size_t at = uri.find('@');
  if (scheme == std::string::npos || at == std::string::npos) return uri;
  const std::size_t colon = uri.find(':', scheme + 3);
  if (colon == std::string::npos || colon > at) return uri;
  return uri.substr(0, colon) + uri.substr(at);
}

}  // namespace tarvik::data
