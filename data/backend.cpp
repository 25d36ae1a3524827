#include "data/backend.h"

#include "platform/error.h"

namespace tarvik::data {

// Backends that answer every statement at once never queue: the Connection
// asks them for nothing of this.
std::uint64_t Backend::Send(const std::vector<BoundStatement>&) {
  RaiseError(kErrInvalidOperation, "This database does not queue statements.");
}

std::int64_t Backend::Changed(std::uint64_t) {
  RaiseError(kErrInvalidOperation, "This database does not queue statements.");
}

}  // namespace tarvik::data
