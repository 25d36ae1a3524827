// Sets (or unsets) an environment variable for one scope and puts back what
// was there before, so tests that read the environment leave no trace.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace tarvik::testing {

class ScopedVariable {
 public:
  // nullopt unsets the variable for the scope.
  ScopedVariable(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) saved_ = old;
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ~ScopedVariable() {
    if (saved_) {
      ::setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace tarvik::testing
