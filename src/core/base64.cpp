#include "core/base64.hpp"

#include <array>
#include <bit>
#include <cstring>
#include <quarlo/error.hpp>
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUARLO_BASE64_SSSE3 1
#endif

namespace QuarloCliente::detail {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters per lookup halve the table traffic of a per-sextet alphabet, and 8 KiB
// still sits comfortably in L1.
constexpr auto kPairs = [] {
  std::array<std::array<char, 2>, 4096> pairs{};
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    pairs[i] = {kAlphabet[i >> 6], kAlphabet[i & 63]};
  }
  return pairs;
}();

// Sextet values for the careful path; the markers above 63 classify everything else.
constexpr std::uint8_t kSpace = 64;
constexpr std::uint8_t kPad = 65;
constexpr std::uint8_t kBad = 255;

constexpr auto kSextet = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(kBad);
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  }
  for (const char c : {' ', '\t', '\r', '\n', '\f', '\v'}) {
    table[static_cast<unsigned char>(c)] = kSpace;
  }
  table['='] = kPad;
  return table;
}();

// The fast path ORs four lookups together and tests one bit, so whitespace, padding and junk all
// share this marker and are sorted out by the careful path.
constexpr std::uint32_t kNotSextet = 0x80000000u;

// One table per position in the quantum, each value already split across the three output bytes
// as they lie in memory on a little-endian machine, so a quantum decodes to one OR-ed word that
// is stored as it stands.
template <typename Place>
constexpr auto MakePlaced(Place place) {
  std::array<std::uint32_t, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    table[i] = kSextet[i] < 64 ? place(std::uint32_t{kSextet[i]}) : kNotSextet;
  }
  return table;
}

constexpr auto kD0 = MakePlaced([](std::uint32_t v) { return v << 2; });
constexpr auto kD1 = MakePlaced([](std::uint32_t v) { return v >> 4 | (v & 0xF) << 12; });
constexpr auto kD2 = MakePlaced([](std::uint32_t v) { return v >> 2 << 8 | (v & 3) << 22; });
constexpr auto kD3 = MakePlaced([](std::uint32_t v) { return v << 16; });

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Hardware prefetchers stop at page boundaries; past the reach of the TLB (around 8 MiB here) a
// hint far enough ahead keeps the page walks off the critical path, which kept 16 MiB inputs from
// running at half the speed of 1 MiB ones.
constexpr std::size_t kPrefetchDistance = 1024;

inline void Prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#endif
}

// Written byte by byte so that it holds on any byte order; compilers turn it into one load and a
// byte swap.
inline std::uint64_t LoadBigEndian64(const std::uint8_t* in) {
  return std::uint64_t{in[0]} << 56 | std::uint64_t{in[1]} << 48 | std::uint64_t{in[2]} << 40 |
         std::uint64_t{in[3]} << 32 | std::uint64_t{in[4]} << 24 | std::uint64_t{in[5]} << 16 |
         std::uint64_t{in[6]} << 8 | std::uint64_t{in[7]};
}

inline void PutPair(char* out, std::uint32_t twelve_bits) {
  std::memcpy(out, kPairs[twelve_bits].data(), 2);
}

// Stores the six bytes two placed quanta hold. On little-endian machines that is one eight-byte
// store whose two spare bytes land in the caller's slack.
inline void PutSix(std::uint8_t* out, std::uint64_t word) {
  if constexpr (kLittleEndian) {
    std::memcpy(out, &word, 8);
  } else {
    for (int k = 0; k < 6; ++k) out[k] = static_cast<std::uint8_t>(word >> (8 * k));
  }
}

[[noreturn]] void Fail(std::string_view what, std::size_t position) {
  throw Error("el texto Base64 " + std::string(what) + " en la posición " +
              std::to_string(position));
}

#if defined(QUARLO_BASE64_SSSE3)
// Twelve bytes become sixteen characters per step, the whole quantum arithmetic done in vector
// lanes: a document's Content is tens of kilobytes, and the byte shuffle this needs is on every
// x86-64 processor of the last fifteen years, though not in the baseline the library is built for,
// hence the check at run time.
__attribute__((target("ssse3"))) void EncodeQuantaSsse3(const std::uint8_t* in, std::size_t steps,
                                                        char* out) {
  // Each 32-bit lane gets the bytes of one quantum (a, b, c) as b, a, c, b, so that every sextet
  // sits within one 16-bit half and two multiplications move the four into their own bytes.
  const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m128i high_mask = _mm_set1_epi32(0x0fc0fc00);
  const __m128i high_shift = _mm_set1_epi32(0x04000040);
  const __m128i low_mask = _mm_set1_epi32(0x003f03f0);
  const __m128i low_shift = _mm_set1_epi32(0x01000010);
  // The distance from each sextet to its character, by range: 0-25 'A', 26-51 'a', 52-61 '0',
  // 62 '+', 63 '/'.
  const __m128i offsets =
      _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                    '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  for (std::size_t step = 0; step < steps; ++step) {
    const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12 * step));
    const __m128i lanes = _mm_shuffle_epi8(loaded, spread);
    const __m128i high = _mm_mulhi_epu16(_mm_and_si128(lanes, high_mask), high_shift);
    const __m128i low = _mm_mullo_epi16(_mm_and_si128(lanes, low_mask), low_shift);
    const __m128i sextets = _mm_or_si128(high, low);
    // 0-51 map to range 0, 52-61 to 1-10, 62 to 11, 63 to 12; then 0-25 are moved to 13.
    __m128i range = _mm_subs_epu8(sextets, _mm_set1_epi8(51));
    const __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), sextets);
    range = _mm_or_si128(range, _mm_and_si128(upper, _mm_set1_epi8(13)));
    const __m128i characters = _mm_add_epi8(sextets, _mm_shuffle_epi8(offsets, range));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * step), characters);
  }
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// The same arithmetic on two groups of twelve bytes at once, where the processor has 256-bit
// lanes: the shuffles work within each 128-bit half, so each half takes one group as above.
__attribute__((target("avx2"))) void EncodeQuantaAvx2(const std::uint8_t* in, std::size_t steps,
                                                      char* out) {
  const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10, 1, 0,
                                          2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  const __m256i high_mask = _mm256_set1_epi32(0x0fc0fc00);
  const __m256i high_shift = _mm256_set1_epi32(0x04000040);
  const __m256i low_mask = _mm256_set1_epi32(0x003f03f0);
  const __m256i low_shift = _mm256_set1_epi32(0x01000010);
  const __m256i offsets =
      _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                       '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0,
                       'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                       '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  for (std::size_t step = 0; step < steps; ++step) {
    const std::uint8_t* group = in + 24 * step;
    const __m256i loaded = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(group + 12)), 1);
    const __m256i lanes = _mm256_shuffle_epi8(loaded, spread);
    const __m256i high = _mm256_mulhi_epu16(_mm256_and_si256(lanes, high_mask), high_shift);
    const __m256i low = _mm256_mullo_epi16(_mm256_and_si256(lanes, low_mask), low_shift);
    const __m256i sextets = _mm256_or_si256(high, low);
    __m256i range = _mm256_subs_epu8(sextets, _mm256_set1_epi8(51));
    const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), sextets);
    range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
    const __m256i characters = _mm256_add_epi8(sextets, _mm256_shuffle_epi8(offsets, range));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * step), characters);
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

std::string EncodeBase64(std::span<const std::uint8_t> bytes) {
  std::string text(Base64Size(bytes.size()), '\0');
  EncodeBase64To(bytes, text.data());
  return text;
}

char* EncodeBase64To(std::span<const std::uint8_t> bytes, char* out) {
  const std::uint8_t* in = bytes.data();
  const std::uint8_t* const in_end = in + bytes.size() / 3 * 3;
#if defined(QUARLO_BASE64_SSSE3)
  // Each step's last load reads four bytes past what it uses, so the vector loops stop while a
  // whole load still fits.
  if (bytes.size() >= 28 && HasAvx2()) {
    const std::size_t steps = (bytes.size() - 4) / 24;
    EncodeQuantaAvx2(in, steps, out);
    in += 24 * steps;
    out += 32 * steps;
  }
  if (const auto left = static_cast<std::size_t>(in_end - in); left >= 16 && HasSsse3()) {
    const std::size_t steps = (left - 4) / 12;
    EncodeQuantaSsse3(in, steps, out);
    in += 12 * steps;
    out += 16 * steps;
  }
#endif
  // Six bytes per step through an eight-byte load; the last two bytes of each load are read
  // again by the next step, so the loop stops while a whole load still fits.
  while (in_end - in >= 8) {
    if (static_cast<std::size_t>(in_end - in) > kPrefetchDistance) Prefetch(in + kPrefetchDistance);
    const std::uint64_t word = LoadBigEndian64(in);
    PutPair(out, static_cast<std::uint32_t>(word >> 52));
    PutPair(out + 2, static_cast<std::uint32_t>(word >> 40) & 0xFFF);
    PutPair(out + 4, static_cast<std::uint32_t>(word >> 28) & 0xFFF);
    PutPair(out + 6, static_cast<std::uint32_t>(word >> 16) & 0xFFF);
    in += 6;
    out += 8;
  }
  for (; in != in_end; in += 3, out += 4) {
    const std::uint32_t bits = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
    PutPair(out, bits >> 12);
    PutPair(out + 2, bits & 0xFFF);
  }
  const std::size_t rest = bytes.size() % 3;
  if (rest == 1) {
    PutPair(out, std::uint32_t{in[0]} << 4);
    out[2] = '=';
    out[3] = '=';
  } else if (rest == 2) {
    const std::uint32_t bits = std::uint32_t{in[0]} << 10 | std::uint32_t{in[1]} << 2;
    PutPair(out, bits >> 6);
    out[2] = kAlphabet[bits & 63];
    out[3] = '=';
  }
  return rest == 0 ? out : out + 4;
}

Bytes DecodeBase64(std::string_view text) {
  const auto* const in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  // The fast path stores eight bytes where six matter, and only runs with eight characters still
  // ahead, which promise room for six more bytes; the slack of three covers the overshoot of two.
  Bytes bytes(size / 4 * 3 + 3);
  std::uint8_t* out = bytes.data();
  std::size_t i = 0;
  for (;;) {
    while (size - i >= 8) {
      if (size - i > kPrefetchDistance) Prefetch(in + i + kPrefetchDistance);
      const std::uint32_t a = kD0[in[i]] | kD1[in[i + 1]] | kD2[in[i + 2]] | kD3[in[i + 3]];
      const std::uint32_t b = kD0[in[i + 4]] | kD1[in[i + 5]] | kD2[in[i + 6]] | kD3[in[i + 7]];
      if ((a | b) & kNotSextet) break;
      PutSix(out, std::uint64_t{a} | std::uint64_t{b} << 24);
      out += 6;
      i += 8;
    }
    // Careful path: gather one quantum across whitespace, then let the fast path resume, so text
    // broken into lines of whole quanta pays for little more than the line breaks themselves.
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t last = 0;
    while (i < size && count < 4) {
      const std::uint8_t value = kSextet[in[i]];
      if (value < 64) {
        bits = bits << 6 | value;
        ++count;
        last = i;
      } else if (value == kPad) {
        break;
      } else if (value != kSpace) {
        Fail("contiene un carácter no válido", i);
      }
      ++i;
    }
    if (count == 4) {
      out[0] = static_cast<std::uint8_t>(bits >> 16);
      out[1] = static_cast<std::uint8_t>(bits >> 8);
      out[2] = static_cast<std::uint8_t>(bits);
      out += 3;
      continue;
    }
    if (i < size) {
      // Stopped at '=', which may only complete a quantum of two or three sextets.
      if (count < 2) Fail("contiene un relleno '=' fuera de lugar", i);
      for (int pads = 4 - count; pads > 0; ++i) {
        if (i == size) throw Error("el relleno '=' del texto Base64 está incompleto");
        const std::uint8_t value = kSextet[in[i]];
        if (value == kPad) {
          --pads;
        } else if (value != kSpace) {
          Fail("contiene datos después del relleno", i);
        }
      }
      for (; i < size; ++i) {
        if (kSextet[in[i]] != kSpace) Fail("contiene datos después del relleno", i);
      }
    }
    // Bits below the last whole byte are dropped unchecked, as most decoders do.
    if (count == 1) {
      Fail("termina con un carácter suelto", last);
    } else if (count == 2) {
      *out++ = static_cast<std::uint8_t>(bits >> 4);
    } else if (count == 3) {
      *out++ = static_cast<std::uint8_t>(bits >> 10);
      *out++ = static_cast<std::uint8_t>(bits >> 2);
    }
    break;
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return bytes;
}

}  // namespace QuarloCliente::detail
