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
    Set(value);
  }
  ~ScopedVariable() { Set(saved_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  // Windows has no empty variables: setting one to "" removes it.
  void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    ::_putenv_s(name_.c_str(), value ? value->c_str() : "");
#else
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
#endif
  }

  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace tarvik::testing
