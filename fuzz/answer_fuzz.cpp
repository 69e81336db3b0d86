// Whatever the service answers a submission, it is read into a result or refused with Error;
// nothing may crash, leak or read out of bounds.

#include <cstdint>
#include <quarlo/quarlo.hpp>
#include <string_view>

#include "core/transport.hpp"
#include "emission/emission.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace QuarloCliente;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    (void)detail::ParseSendDocumentResponse(detail::HttpAnswer(text, 200, "application/xml"));
  } catch (const Error&) {
  }
  return 0;
}
