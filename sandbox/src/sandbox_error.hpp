#pragma once

#include <stdexcept>
#include <string>

namespace QuarloSandbox {

// A request the sandbox refuses: the HTTP status to answer with and the Spanish description that
// goes into the answer's Description.
class SandboxError : public std::runtime_error {
 public:
  SandboxError(int status, const std::string& description)
      : std::runtime_error(description), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

}  // namespace QuarloSandbox
