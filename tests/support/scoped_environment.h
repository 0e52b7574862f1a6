#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

// Saves an environment variable and puts it back when the test ends.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const char* name) : name_(name) {
    if (const char* value = std::getenv(name))
      saved_ = value;
  }
  ~ScopedEnvironment() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

}  // namespace testing_support
