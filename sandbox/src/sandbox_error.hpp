#pragma once

#include <stdexcept>
#include <string>

namespace QuarloSandbox {

// A request the sandbox refuses: the HTTP status to answer with and the Spanish description that
// goes into the answer's Description.
class SandboxError : public std::runtime_error {
 public:
  SandboxError(int status, const std::string& description)
      : std::runtime_error(description), status_(status), description_(description) {}
  int status() const { return status_; }
  // The whole description: what() ends at the first NUL that a quoted request value may hold.
  const std::string& description() const { return description_; }

 private:
  int status_;
  std::string description_;
};

}  // namespace QuarloSandbox
