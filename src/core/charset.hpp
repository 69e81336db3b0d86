#pragma once

#include <cstdint>
#include <quarlo/types.hpp>
#include <span>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// What Utf8ToLatin1 writes for a character that ISO-8859-1 cannot hold.
enum class Unrepresentable {
  Question,            // a single '?'
  CharacterReference,  // the decimal XML character reference, e.g. "&#8364;" for the euro sign
};

// UTF-8 text as ISO-8859-1 bytes: U+0000..U+00FF become one byte each, anything beyond follows
// `policy`. Each malformed UTF-8 sequence becomes a single '?' whatever the policy; never throws.
Bytes Utf8ToLatin1(std::string_view text, Unrepresentable policy = Unrepresentable::Question);

// The same bytes appended to `out`.
void AppendLatin1(Bytes& out, std::string_view text,
                  Unrepresentable policy = Unrepresentable::Question);

// The length of the longest prefix of `text` that is well-formed UTF-8: text.size() when all of it
// is.
std::size_t Utf8ValidPrefix(std::string_view text);

// ISO-8859-1 bytes as UTF-8 text: every byte becomes the code point of the same value.
std::string Latin1ToUtf8(std::span<const std::uint8_t> bytes);

// UTF-8 bytes as text: well-formed input is copied unchanged and each malformed sequence becomes
// U+FFFD; never throws.
std::string Utf8BytesToText(std::span<const std::uint8_t> bytes);

// Text encoded in the named charset, "UTF-8" or "ISO-8859-1" (in any letter case); characters
// ISO-8859-1 cannot hold become '?'. Throws Error for any other charset name.
Bytes TextToBytes(std::string_view text, std::string_view charset);

// Bytes in the named charset, "UTF-8" or "ISO-8859-1" (in any letter case), as UTF-8 text.
// Throws Error for any other charset name.
std::string BytesToText(std::span<const std::uint8_t> bytes, std::string_view charset);

}  // namespace QuarloCliente::detail
