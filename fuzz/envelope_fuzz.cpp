// An envelope as a receiver gets it: read as an EnvioDTE and as an EnvioBOLETA, strictly or under
// the lenient switches the last byte selects, and each document read written back. Anything may
// be refused with Error; nothing may crash, leak or read out of bounds.

#include <cstdint>
#include <quarlo/quarlo.hpp>
#include <string_view>

#include "fuzz_context.hpp"

namespace {

using namespace QuarloCliente;

// A lenient context of the switches, or nullptr (strict) when the byte selects none.
std::shared_ptr<BindingContext> ContextFor(std::uint8_t switches) {
  if ((switches & 31) == 0) return nullptr;
  return fuzz::LenientContextFor(switches);
}

// Reads the envelope with `read` and writes every document it holds.
template <class Read>
void Exercise(std::string_view text, const std::shared_ptr<BindingContext>& context, Read read) {
  try {
    const auto envio = read(text, context);
    const auto writer = std::make_shared<BindingContext>();
    for (const auto& dte : envio->DTE) (void)dte->ToXml(writer);
  } catch (const Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The switches ride on the last byte, so that an envelope file is a seed as it is.
  const std::uint8_t switches = data[size - 1];
  const std::string_view text(reinterpret_cast<const char*>(data), size - 1);
  const auto context = ContextFor(switches);
  Exercise(text, context, [](std::string_view t, const std::shared_ptr<BindingContext>& c) {
    return LeerEnvioDte(t, c);
  });
  Exercise(text, context, [](std::string_view t, const std::shared_ptr<BindingContext>& c) {
    return LeerEnvioBoleta(t, c);
  });
  return 0;
}
