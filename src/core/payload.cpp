#include "core/payload.hpp"

#include "core/base64.hpp"

namespace QuarloCliente::detail {

std::string EncodeIsoBase64(std::string_view text, Unrepresentable policy) {
  return EncodeBase64(Utf8ToLatin1(text, policy));
}

std::string DecodeIsoBase64(std::string_view base64) {
  return Latin1ToUtf8(DecodeBase64(base64));
}

}  // namespace QuarloCliente::detail
