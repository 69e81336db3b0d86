#include "render/win1252.hpp"

#include <array>
#include <cstdint>
#include <utility>

namespace QuarloSandbox::detail {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code points Windows-1252 places in 0x80..0x9F, where ISO-8859-1 has control codes.
constexpr std::array<std::pair<char32_t, unsigned char>, 27> kTypographic{{
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
}};

// The code point starting at text[i], advancing i past it; kInvalid for a malformed sequence
// (bad lead byte, missing continuation, overlong form, surrogate or beyond U+10FFFF), of which
// one byte is consumed.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (extra == 0 || lead > 0xF4 || i + static_cast<std::size_t>(extra) > text.size()) {
    return kInvalid;
  }
  char32_t code = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) return kInvalid;
    code = (code << 6) | (next & 0x3F);
  }
  constexpr std::array<char32_t, 4> kSmallest{0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[static_cast<std::size_t>(extra)] || code > 0x10FFFF ||
      (code >= 0xD800 && code <= 0xDFFF)) {
    return kInvalid;
  }
  i += static_cast<std::size_t>(extra);
  return code;
}

char ToWindows1252(char32_t code) {
  if (code < 0x20 || code == 0x7F) return ' ';
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (const auto& [unicode, byte] : kTypographic) {
    if (unicode == code) return static_cast<char>(byte);
  }
  return '?';
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out += ToWindows1252(NextCodePoint(text, i));
  return out;
}

}  // namespace QuarloSandbox::detail
