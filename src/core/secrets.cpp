#include "core/secrets.hpp"

#include <algorithm>

#include "core/url.hpp"

namespace QuarloCliente::detail {

std::string MaskSecret(std::string text, std::string_view secret) {
  if (secret.empty()) return text;
  constexpr std::string_view kMask = "***";
  // The search resumes after the mask, so a secret made of its characters cannot loop.
  for (auto at = text.find(secret); at != std::string::npos;
       at = text.find(secret, at + kMask.size())) {
    text.replace(at, secret.size(), kMask);
  }
  return text;
}

Secrets::Secrets(const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    forms_.push_back(secret);
    forms_.push_back(EncodePathSegment(secret));
  }
  std::sort(forms_.begin(), forms_.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a < b;
  });
  forms_.erase(std::unique(forms_.begin(), forms_.end()), forms_.end());
}

std::string Secrets::Mask(std::string text) const {
  for (const std::string& form : forms_) text = MaskSecret(std::move(text), form);
  return text;
}

namespace {
thread_local SecretsScope* innermost = nullptr;
}  // namespace

SecretsScope::SecretsScope() : outer_(innermost) {
  innermost = this;
}

SecretsScope::~SecretsScope() {
  innermost = outer_;
  try {
    if (outer_ != nullptr) Note(noted_);
  } catch (...) {
    // Out of memory: the outer scope still masks the secrets its own exchanges noted.
  }
}

void SecretsScope::Note(const std::vector<std::string>& secrets) {
  if (innermost == nullptr) return;
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    auto& noted = innermost->noted_;
    if (std::find(noted.begin(), noted.end(), secret) == noted.end()) noted.push_back(secret);
  }
}

std::string SecretsScope::Mask(std::string text) const {
  if (noted_.empty()) return text;
  return Secrets(noted_).Mask(std::move(text));
}

}  // namespace QuarloCliente::detail
