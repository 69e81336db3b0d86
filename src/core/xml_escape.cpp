#include "core/xml_escape.hpp"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace QuarloCliente::detail {

namespace {

constexpr std::string_view ReferenceFor(char c, EscapeFor target) {
  const bool attribute = target == EscapeFor::Attribute;
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '\r':
      return "&#13;";
    case '"':
      return attribute ? "&quot;" : std::string_view{};
    case '\t':
      return attribute ? "&#9;" : std::string_view{};
    case '\n':
      return attribute ? "&#10;" : std::string_view{};
    default:
      return {};
  }
}

// The quick test and the references must agree on every byte.
constexpr bool Agree(EscapeFor target) {
  for (int c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    if (NeedsReference(byte, target) == ReferenceFor(byte, target).empty()) return false;
  }
  return true;
}
static_assert(Agree(EscapeFor::Text) && Agree(EscapeFor::Attribute));

// The number of leading bytes that need no reference. A request body carries a whole document as
// Base64, tens of kilobytes in which nothing needs escaping, so long texts are scanned sixteen
// bytes per step where the processor allows it.
std::size_t PlainPrefix(const char* data, std::size_t size, EscapeFor target) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const bool attribute = target == EscapeFor::Attribute;
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i quot = _mm_set1_epi8('"');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, amp), _mm_cmpeq_epi8(block, lt)),
                                _mm_or_si128(_mm_cmpeq_epi8(block, gt), _mm_cmpeq_epi8(block, cr)));
    if (attribute) {
      hits = _mm_or_si128(
          hits, _mm_or_si128(_mm_cmpeq_epi8(block, quot),
                             _mm_or_si128(_mm_cmpeq_epi8(block, tab), _mm_cmpeq_epi8(block, lf))));
    }
    if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0) {
      return i + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
#endif
  while (i < size && !NeedsReference(data[i], target)) ++i;
  return i;
}

}  // namespace

void AppendEscapedXml(std::string& out, std::string_view text, EscapeFor target) {
  // Runs without a character to escape are appended whole: documents and Base64 payloads are
  // long and mostly plain.
  const char* const data = text.data();
  const std::size_t size = text.size();
  for (std::size_t run = 0;;) {
    const std::size_t plain = run + PlainPrefix(data + run, size - run, target);
    out.append(data + run, plain - run);
    if (plain == size) return;
    out.append(ReferenceFor(data[plain], target));
    run = plain + 1;
  }
}

char* WriteEscapedXml(char* out, std::string_view text, EscapeFor target) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  for (std::size_t run = 0;;) {
    const std::size_t plain = run + PlainPrefix(data + run, size - run, target);
    if (plain > run) std::memcpy(out, data + run, plain - run);
    out += plain - run;
    if (plain == size) return out;
    const std::string_view reference = ReferenceFor(data[plain], target);
    std::memcpy(out, reference.data(), reference.size());
    out += reference.size();
    run = plain + 1;
  }
}

}  // namespace QuarloCliente::detail
