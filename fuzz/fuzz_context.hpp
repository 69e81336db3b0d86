#pragma once

#include <cstdint>
#include <memory>
#include <quarlo/binding_context.hpp>

namespace QuarloCliente::fuzz {

// A context with the five lenient switches the low bits of `switches` select (bit 0 unknown
// elements, 1 out of order, 2 trimmed whitespace, 3 deferred values, 4 unknown attributes).
inline std::shared_ptr<BindingContext> LenientContextFor(std::uint8_t switches) {
  auto context = std::make_shared<BindingContext>();
  context->SetOption(BindingOption::AllowUnknownElements, (switches & 1) != 0);
  context->SetOption(BindingOption::AllowOutOfOrderElements, (switches & 2) != 0);
  context->SetOption(BindingOption::TrimValueWhitespace, (switches & 4) != 0);
  context->SetOption(BindingOption::DeferValueValidation, (switches & 8) != 0);
  context->SetOption(BindingOption::AllowUnknownAttributes, (switches & 16) != 0);
  return context;
}

}  // namespace QuarloCliente::fuzz
