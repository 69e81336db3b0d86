#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace QuarloSandbox {

// A POST body as the library writes it: one root element in the request namespace whose children
// carry the values. Every refusal is a SandboxError(400, ...) saying what is wrong.
class RequestBody {
 public:
  // Parses the body; refuses text that is not XML and a root other than `root` in ApiNamespace.
  RequestBody(std::string_view body, std::string_view root);

  // The text of the child element; refused when the element is absent.
  const std::string& Field(std::string_view name) const;
  // The child's text as a whole number in min..max.
  std::int64_t Number(std::string_view name, std::int64_t min, std::int64_t max) const;
  // The child's text as a Boolean written True or False (any letter case).
  bool Flag(std::string_view name) const;
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
  std::map<std::string, std::string, std::less<>> fields_;
};

// A GET request's target split into the operation ("FiscalStatus") and its path segments, each
// percent-decoded; the query string, if any, is dropped. Refuses a malformed escape and a control
// character (U+0000 to U+001F, U+007F), escaped or not.
struct PathCall {
  std::string operation;
  std::vector<std::string> segments;
};
PathCall SplitTarget(std::string_view target);

// Checks on the values of requests; each refusal is a SandboxError(400, ...) naming the field.
// "T" (certification) or "P" (production).
std::string RequireEnvironment(std::string_view text);
// A RUT written as digits, "-" and a digit or K ("76543210-3"); the K is upper-cased.
std::string RequireRut(std::string_view text, std::string_view field);
// A whole number in min..max written in decimal digits (leading zeros allowed).
std::int64_t RequireNumber(std::string_view text, std::string_view field, std::int64_t min,
                           std::int64_t max);
// A date AAAA-MM-DD (or AAAAMMDD), returned as AAAA-MM-DD.
std::string RequireDate(std::string_view text, std::string_view field);

}  // namespace QuarloSandbox
