#include "binding/library_contexts.hpp"

#include <quarlo/namespaces.hpp>

namespace QuarloCliente::detail {

namespace {

// Kept alive until exit, as DefaultBindingContext is, so that a thread still submitting while the
// process ends never meets a destroyed context.
const std::shared_ptr<BindingContext>& Immortal(std::shared_ptr<BindingContext> context) {
  return *new std::shared_ptr<BindingContext>(std::move(context));
}

}  // namespace

const std::shared_ptr<BindingContext>& SubmissionContext() {
  static const std::shared_ptr<BindingContext>& context = Immortal([] {
    auto marked = std::make_shared<BindingContext>();
    marked->RegisterNamespace(SiiDteNamespace, kSubmissionMarker);
    return marked;
  }());
  return context;
}

const std::shared_ptr<BindingContext>& LenientLoadingContext() {
  static const std::shared_ptr<BindingContext>& context = Immortal([] {
    auto lenient = std::make_shared<BindingContext>();
    lenient->SetAllOptions(true);
    return lenient;
  }());
  return context;
}

const std::shared_ptr<BindingContext>& StrictLoadingContext() {
  static const std::shared_ptr<BindingContext>& context =
      Immortal(std::make_shared<BindingContext>());
  return context;
}

}  // namespace QuarloCliente::detail
