#include "core/charset.hpp"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {

namespace {

// One step of UTF-8 decoding. A malformed sequence is reported with the length of its maximal
// valid prefix (at least one byte), so that each such subpart yields exactly one substitute, the
// way the Unicode standard recommends, and a good character after a bad one is never swallowed.
struct Step {
  char32_t code = 0;
  std::size_t length = 1;
  bool valid = false;
};

Step DecodeUtf8(const std::uint8_t* in, std::size_t available) {
  const std::uint8_t lead = in[0];
  if (lead < 0x80) return {lead, 1, true};
  std::size_t trailing = 0;
  char32_t code = 0;
  // The allowed range of the second byte is what rules out overlong forms, surrogates and code
  // points beyond U+10FFFF.
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    code = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    code = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  for (std::size_t k = 1; k <= trailing; ++k) {
    if (k == available || in[k] < low || in[k] > high) return {0, k, false};
    code = code << 6 | (in[k] & 0x3Fu);
    low = 0x80;
    high = 0xBF;
  }
  return {code, trailing + 1, true};
}

// The number of leading ASCII bytes, found sixteen (or eight) bytes per step: a document is
// kilobytes of ASCII with an accented letter here and there.
std::size_t AsciiPrefix(const std::uint8_t* in, std::size_t size) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    if (const auto high = static_cast<unsigned>(_mm_movemask_epi8(block)); high != 0) {
      return i + static_cast<std::size_t>(std::countr_zero(high));
    }
  }
#endif
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, in + i, sizeof word);
    if (const std::uint64_t high = word & kHighBits; high != 0) {
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(high)
                                                                 : std::countl_zero(high);
      return i + static_cast<std::size_t>(bit / 8);
    }
  }
  while (i < size && in[i] < 0x80) ++i;
  return i;
}

const std::uint8_t* AsBytes(std::string_view text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

bool SameName(std::string_view name, std::string_view canonical) {
  if (name.size() != canonical.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != canonical[i]) return false;
  }
  return true;
}

enum class Charset { Utf8, Latin1 };

Charset ParseCharset(std::string_view name) {
  if (SameName(name, "UTF-8")) return Charset::Utf8;
  if (SameName(name, "ISO-8859-1")) return Charset::Latin1;
  throw Error("juego de caracteres no soportado: " + std::string(name));
}

}  // namespace

Bytes Utf8ToLatin1(std::string_view text, Unrepresentable policy) {
  Bytes bytes;
  AppendLatin1(bytes, text, policy);
  return bytes;
}

void AppendLatin1(Bytes& bytes, std::string_view text, Unrepresentable policy) {
  const std::uint8_t* const in = AsBytes(text);
  bytes.reserve(bytes.size() + text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (in[i] < 0x80) {
      // ASCII runs, most of any document, are copied whole.
      const std::size_t run = i;
      i += AsciiPrefix(in + i, text.size() - i);
      bytes.insert(bytes.end(), in + run, in + i);
      continue;
    }
    // Accented letters and "ñ", the usual non-ASCII characters of a Chilean document, are the two
    // bytes C2 or C3 and a continuation byte: decoded here rather than by the general decoder.
    if ((in[i] & 0xFE) == 0xC2 && i + 1 < text.size() && (in[i + 1] & 0xC0) == 0x80) {
      bytes.push_back(static_cast<std::uint8_t>((in[i] & 0x03) << 6 | (in[i + 1] & 0x3F)));
      i += 2;
      continue;
    }
    const Step step = DecodeUtf8(in + i, text.size() - i);
    i += step.length;
    if (step.valid && step.code <= 0xFF) {
      bytes.push_back(static_cast<std::uint8_t>(step.code));
    } else if (step.valid && policy == Unrepresentable::CharacterReference) {
      const std::string reference = "&#" + std::to_string(step.code) + ";";
      bytes.insert(bytes.end(), reference.begin(), reference.end());
    } else {
      bytes.push_back('?');
    }
  }
}

std::size_t Utf8ValidPrefix(std::string_view text) {
  const std::uint8_t* const in = AsBytes(text);
  std::size_t i = 0;
  while (i < text.size()) {
    i += AsciiPrefix(in + i, text.size() - i);
    if (i == text.size()) break;
    const Step step = DecodeUtf8(in + i, text.size() - i);
    if (!step.valid) break;
    i += step.length;
  }
  return i;
}

std::string Latin1ToUtf8(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const std::uint8_t byte : bytes) {
    if (byte < 0x80) {
      text.push_back(static_cast<char>(byte));
    } else {
      text.push_back(static_cast<char>(0xC0 | byte >> 6));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

std::string Utf8BytesToText(std::span<const std::uint8_t> bytes) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string text;
  text.reserve(bytes.size());
  const auto* const in = bytes.data();
  // Well-formed stretches are appended whole rather than character by character.
  std::size_t run = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const Step step = in[i] < 0x80 ? Step{in[i], 1, true} : DecodeUtf8(in + i, bytes.size() - i);
    if (!step.valid) {
      text.append(reinterpret_cast<const char*>(in + run), i - run);
      text.append(kReplacement);
      run = i + step.length;
    }
    i += step.length;
  }
  text.append(reinterpret_cast<const char*>(in + run), bytes.size() - run);
  return text;
}

Bytes TextToBytes(std::string_view text, std::string_view charset) {
  if (ParseCharset(charset) == Charset::Latin1) return Utf8ToLatin1(text);
  return Bytes(AsBytes(text), AsBytes(text) + text.size());
}

std::string BytesToText(std::span<const std::uint8_t> bytes, std::string_view charset) {
  if (ParseCharset(charset) == Charset::Latin1) return Latin1ToUtf8(bytes);
  return Utf8BytesToText(bytes);
}

}  // namespace QuarloCliente::detail
