#pragma once

#include <quarlo/types.hpp>
#include <string>
#include <string_view>

namespace QuarloSandbox {

// The bytes of a Base64 request value; SandboxError(400, ...) naming the field when the text is
// not Base64.
QuarloCliente::Bytes DecodeBase64Field(std::string_view base64, std::string_view field);

// The UTF-8 text of a request value that is Base64 of ISO-8859-1 bytes.
std::string DecodeIsoBase64Field(std::string_view base64, std::string_view field);

// The Base64 of bytes.
std::string Base64(const QuarloCliente::Bytes& bytes);

// The Base64 of a text's ISO-8859-1 bytes, how the service sends documents; a character beyond
// ISO-8859-1 becomes an XML character reference, so XML text loses nothing.
std::string IsoBase64(std::string_view utf8);

// A text's ISO-8859-1 bytes, with the same rule.
QuarloCliente::Bytes IsoBytes(std::string_view utf8);

}  // namespace QuarloSandbox
