#include "protocol/payload.hpp"

#include <quarlo/error.hpp>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

QuarloCliente::Bytes DecodeBase64Field(std::string_view base64, std::string_view field) {
  try {
    return qd::DecodeBase64(base64);
  } catch (const QuarloCliente::Error& error) {
    throw SandboxError(
        400, "el elemento " + std::string(field) + " no es Base64 válido: " + error.what());
  }
}

std::string DecodeIsoBase64Field(std::string_view base64, std::string_view field) {
  return qd::Latin1ToUtf8(DecodeBase64Field(base64, field));
}

std::string Base64(const QuarloCliente::Bytes& bytes) {
  return qd::EncodeBase64(bytes);
}

QuarloCliente::Bytes IsoBytes(std::string_view utf8) {
  return qd::Utf8ToLatin1(utf8, qd::Unrepresentable::CharacterReference);
}

std::string IsoBase64(std::string_view utf8) {
  return Base64(IsoBytes(utf8));
}

}  // namespace QuarloSandbox
