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

// The secrets of every exchange made on this thread while it lives, so that an operation's
// description is masked once at its end, whatever text it was built from (a quoted value of the
// answer, an error of the transport). Scopes nest: what an inner one collects reaches the outer.
class SecretsScope {
 public:
  SecretsScope();
  ~SecretsScope();
  SecretsScope(const SecretsScope&) = delete;
  SecretsScope& operator=(const SecretsScope&) = delete;

  // Adds the secrets to the innermost scope of this thread; nothing when there is none.
  static void Note(const std::vector<std::string>& secrets);
  // The text with every secret noted so far masked.
  std::string Mask(std::string text) const;

 private:
  std::vector<std::string> noted_;
  SecretsScope* outer_;
};

}  // namespace QuarloCliente::detail
