#pragma once

#include <cstddef>
#include <cstdint>
#include <quarlo/types.hpp>
#include <span>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// The RFC 4648 standard alphabet with '=' padding and no line breaks; "" for no bytes.
std::string EncodeBase64(std::span<const std::uint8_t> bytes);

// The length of the Base64 text of that many bytes.
constexpr std::size_t Base64Size(std::size_t bytes) {
  return (bytes + 2) / 3 * 4;
}

// Writes the Base64 text EncodeBase64 returns at `out`, which has room for Base64Size(bytes.size())
// characters; returns the end of what it wrote.
char* EncodeBase64To(std::span<const std::uint8_t> bytes, char* out);

// The bytes that Base64 text stands for. ASCII whitespace is ignored wherever it appears, so
// MIME-style line breaks are accepted; a last quantum without its '=' padding is accepted too.
// Throws Error for any other character outside the alphabet, misplaced or incomplete padding,
// anything but whitespace after the padding, or a single leftover character. Positions in the
// messages are zero-based byte offsets into the text.
Bytes DecodeBase64(std::string_view text);

}  // namespace QuarloCliente::detail
