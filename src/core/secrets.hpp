#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace QuarloCliente::detail {

// The text with every occurrence of the secret replaced by "***".
std::string MaskSecret(std::string text, std::string_view secret);

// The secrets one exchange is made with: the API key, and whatever else its request carries (the
// SII password travels in a reconciliation's path). Every description built from the exchange
// goes through Mask, so that applications may log descriptions.
class Secrets {
 public:
  Secrets() = default;
  explicit Secrets(const std::vector<std::string>& secrets);

  // The text with each secret, as written or percent-encoded as a path segment carries it,
  // replaced by "***".
  std::string Mask(std::string text) const;

 private:
  // Every form of every secret, longest first, so that a secret inside another's form or a form
  // that holds its own secret is masked whole.
  std::vector<std::string> forms_;
};

}  // namespace QuarloCliente::detail
