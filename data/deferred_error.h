// The error of a statement that waited in a pipeline, raised by a later
// call that needed an answer: same number and description as when the
// statement's own call raises it. Callers that map errors of their own
// statement (a key violation of the insert they just made) leave it alone.
#pragma once

#include "platform/error.h"

namespace tarvik::data {

class DeferredError : public AutomationError {
 public:
  explicit DeferredError(const AutomationError& error) : AutomationError(error) {}
};

}  // namespace tarvik::data
