#pragma once

#include <memory>
#include <quarlo/binding_context.hpp>
#include <quarlo/binding_element.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// The text of ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner) less the banner line, with
// the names of the namespace `marker` is registered for written without it and its declaration
// written as a default one. Removing the marker and the banners from either text gives the same
// result; this one has them absent already, so a submission neither writes nor searches for them
// element by element. Throws Error for a null context.
std::string MarkerFreeXml(const BindingDocument& document,
                          const std::shared_ptr<BindingContext>& context, std::string_view marker);

}  // namespace QuarloCliente::detail
