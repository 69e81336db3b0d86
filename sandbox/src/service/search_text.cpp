#include "service/search_text.hpp"

#include <cctype>

namespace QuarloSandbox {

namespace {

// The plain letter of a Latin-1 letter U+00C0..U+00FF written as C3 xx in UTF-8, or 0.
char PlainLetter(unsigned char second) {
  // Upper case (0x80..0x9F) and lower case (0xA0..0xBF) share the low five bits.
  switch (second & 0x1F) {
    case 0x00:
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
      return 'a';
    case 0x07:
      return 'c';
    case 0x08:
    case 0x09:
    case 0x0A:
    case 0x0B:
      return 'e';
    case 0x0C:
    case 0x0D:
    case 0x0E:
    case 0x0F:
      return 'i';
    case 0x11:
      return 'n';
    case 0x12:
    case 0x13:
    case 0x14:
    case 0x15:
    case 0x16:
      return 'o';
    case 0x19:
    case 0x1A:
    case 0x1B:
    case 0x1C:
      return 'u';
    default:
      return 0;
  }
}

}  // namespace

std::string FoldForSearch(std::string_view utf8) {
  std::string folded;
  folded.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xC3 && i + 1 < utf8.size()) {
      if (const char plain = PlainLetter(static_cast<unsigned char>(utf8[i + 1]))) {
        folded.push_back(plain);
        ++i;
        continue;
      }
    }
    folded.push_back(static_cast<char>(std::tolower(c)));
  }
  return folded;
}

}  // namespace QuarloSandbox
