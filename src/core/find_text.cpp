#include "core/find_text.hpp"

#include <array>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace QuarloCliente::detail {

namespace {

// Letters, digits, blanks and the markup's characters fill a document; every other ASCII byte
// is rare in one.
constexpr auto kRare = [] {
  std::array<bool, 256> rare{};
  for (int c = 0x21; c < 0x7F; ++c) {
    const bool alphanumeric =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    rare[static_cast<std::size_t>(c)] =
        !alphanumeric &&
        std::string_view("<>/=\"-._&;").find(static_cast<char>(c)) == std::string_view::npos;
  }
  return rare;
}();

// The position of the piece's first rare byte, or npos when it has none.
std::size_t RareByte(std::string_view piece) {
  for (std::size_t i = 0; i < piece.size(); ++i) {
    if (kRare[static_cast<unsigned char>(piece[i])]) return i;
  }
  return std::string_view::npos;
}

// The library's byte search, the fastest there is, stops only where the rare byte stands.
std::size_t FindThroughByte(std::string_view text, std::string_view piece, std::size_t from,
                            std::size_t anchor) {
  const std::size_t size = text.size();
  for (std::size_t at = from + anchor; at + piece.size() - anchor <= size; ++at) {
    const void* found = std::memchr(text.data() + at, piece[anchor], size - at);
    if (found == nullptr) break;
    at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    const std::size_t start = at - anchor;
    if (start + piece.size() <= size &&
        std::memcmp(text.data() + start, piece.data(), piece.size()) == 0) {
      return start;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::size_t FindText(std::string_view text, std::string_view piece, std::size_t from) {
  const std::size_t size = text.size();
  const std::size_t length = piece.size();
  if (length < 2 || from > size) return text.find(piece, from);
  if (const std::size_t anchor = RareByte(piece); anchor != std::string_view::npos) {
    return FindThroughByte(text, piece, from, anchor);
  }
  std::size_t at = from;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(piece.front());
  const __m128i last = _mm_set1_epi8(piece.back());
  // Both loads of a step stay inside the text: the second starts length - 1 bytes after the first.
  for (; at + length - 1 + 16 <= size; at += 16) {
    const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    const __m128i ends =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + length - 1));
    auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
    while (candidates != 0) {
      const std::size_t start = at + static_cast<std::size_t>(std::countr_zero(candidates));
      if (std::memcmp(text.data() + start + 1, piece.data() + 1, length - 2) == 0) return start;
      candidates &= candidates - 1;
    }
  }
#endif
  return text.find(piece, at);
}

}  // namespace QuarloCliente::detail
