#include <mutex>
#include <quarlo/binding_context.hpp>
#include <quarlo/error.hpp>

#include "binding/value_check.hpp"

namespace QuarloCliente {

namespace {

void CheckPrefix(std::string_view prefix) {
  if (!detail::IsNcName(prefix)) {
    throw Error("'" + std::string(prefix) + "' no es un prefijo XML válido");
  }
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  if (prefix.size() >= 3 && lower(prefix[0]) == 'x' && lower(prefix[1]) == 'm' &&
      lower(prefix[2]) == 'l') {
    throw Error("el prefijo '" + std::string(prefix) + "' está reservado por XML");
  }
}

}  // namespace

bool BindingOptions::Get(BindingOption option) const {
  switch (option) {
    case BindingOption::AllowUnknownElements:
      return AllowUnknownElements;
    case BindingOption::AllowOutOfOrderElements:
      return AllowOutOfOrderElements;
    case BindingOption::TrimValueWhitespace:
      return TrimValueWhitespace;
    case BindingOption::DeferValueValidation:
      return DeferValueValidation;
    case BindingOption::AllowUnknownAttributes:
      return AllowUnknownAttributes;
  }
  return false;
}

void BindingOptions::Set(BindingOption option, bool on) {
  switch (option) {
    case BindingOption::AllowUnknownElements:
      AllowUnknownElements = on;
      return;
    case BindingOption::AllowOutOfOrderElements:
      AllowOutOfOrderElements = on;
      return;
    case BindingOption::TrimValueWhitespace:
      TrimValueWhitespace = on;
      return;
    case BindingOption::DeferValueValidation:
      DeferValueValidation = on;
      return;
    case BindingOption::AllowUnknownAttributes:
      AllowUnknownAttributes = on;
      return;
  }
}

struct BindingContext::Impl {
  mutable std::mutex mutex;
  std::map<std::string, std::string> prefixes;
  BindingOptions options;
};

BindingContext::BindingContext() : impl_(std::make_unique<Impl>()) {}

BindingContext::~BindingContext() = default;

void BindingContext::RegisterNamespace(std::string_view namespaceUri, std::string_view prefix) {
  if (namespaceUri.empty())
    throw Error("no se puede asignar un prefijo a un espacio de nombres vacío");
  if (prefix.empty()) {
    UnregisterNamespace(namespaceUri);
    return;
  }
  CheckPrefix(prefix);
  std::lock_guard lock(impl_->mutex);
  for (const auto& [uri, used] : impl_->prefixes) {
    if (used == prefix && uri != namespaceUri) {
      throw Error("el prefijo '" + std::string(prefix) + "' ya está registrado para " + uri);
    }
  }
  impl_->prefixes[std::string(namespaceUri)] = std::string(prefix);
}

void BindingContext::UnregisterNamespace(std::string_view namespaceUri) {
  std::lock_guard lock(impl_->mutex);
  impl_->prefixes.erase(std::string(namespaceUri));
}

void BindingContext::ClearNamespaces() {
  std::lock_guard lock(impl_->mutex);
  impl_->prefixes.clear();
}

std::string BindingContext::Prefix(std::string_view namespaceUri) const {
  std::lock_guard lock(impl_->mutex);
  const auto found = impl_->prefixes.find(std::string(namespaceUri));
  return found == impl_->prefixes.end() ? std::string() : found->second;
}

std::map<std::string, std::string> BindingContext::Namespaces() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->prefixes;
}

void BindingContext::SetOption(BindingOption option, bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->options.Set(option, on);
}

void BindingContext::SetAllOptions(bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->options = BindingOptions{on, on, on, on, on};
}

bool BindingContext::Option(BindingOption option) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->options.Get(option);
}

BindingOptions BindingContext::Options() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->options;
}

std::shared_ptr<BindingContext> DefaultBindingContext() {
  // Deliberately never destroyed, so that a thread still serialising while the process exits
  // never meets a destroyed context.
  static const auto* const context =
      new std::shared_ptr<BindingContext>(std::make_shared<BindingContext>());
  return *context;
}

}  // namespace QuarloCliente
