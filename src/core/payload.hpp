#pragma once

#include <string>
#include <string_view>

#include "core/charset.hpp"

namespace QuarloCliente::detail {

// The Base64 of a text's ISO-8859-1 bytes, the service's payload encoding; characters beyond
// ISO-8859-1 follow the given policy.
std::string EncodeIsoBase64(std::string_view text,
                            Unrepresentable policy = Unrepresentable::Question);

// The text that Base64 of ISO-8859-1 bytes stands for; throws Error for invalid Base64.
std::string DecodeIsoBase64(std::string_view base64);

}  // namespace QuarloCliente::detail
