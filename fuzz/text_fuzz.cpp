// The conversions every submission and answer goes through: ISO-8859-1 and Base64 round trips are
// exact, and any text either converts or is refused with Error.

#include <cstdint>
#include <cstdlib>
#include <quarlo/quarlo.hpp>
#include <span>
#include <string>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/payload.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace QuarloCliente;
  const std::span<const std::uint8_t> bytes(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Bytes original(data, data + size);
  if (detail::Utf8ToLatin1(detail::Latin1ToUtf8(bytes)) != original) std::abort();
  if (detail::DecodeBase64(detail::EncodeBase64(bytes)) != original) std::abort();
  (void)detail::Utf8ToLatin1(text);
  try {
    (void)detail::DecodeBase64(text);
  } catch (const Error&) {
  }
  try {
    (void)detail::DecodeIsoBase64(detail::EncodeIsoBase64(text));
  } catch (const Error&) {
  }
  return 0;
}
