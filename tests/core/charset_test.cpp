#include "core/charset.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <quarlo/error.hpp>
#include <string>

namespace QuarloCliente::detail {
namespace {

// An encoder written out the long way, independent of the decoder under test.
std::string Utf8(unsigned c) {
  const auto byte = [](unsigned value) { return static_cast<char>(value); };
  if (c < 0x80) return {byte(c)};
  if (c < 0x800) return {byte(0xC0 | c >> 6), byte(0x80 | (c & 0x3F))};
  if (c < 0x10000) {
    return {byte(0xE0 | c >> 12), byte(0x80 | (c >> 6 & 0x3F)), byte(0x80 | (c & 0x3F))};
  }
  return {byte(0xF0 | c >> 18), byte(0x80 | (c >> 12 & 0x3F)), byte(0x80 | (c >> 6 & 0x3F)),
          byte(0x80 | (c & 0x3F))};
}

Bytes AsBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(Charset, Latin1RoundTripsEveryByte) {
  Bytes all(256);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
  const std::string text = Latin1ToUtf8(all);
  EXPECT_EQ(text.size(), 128u + 2 * 128u);
  EXPECT_EQ(Utf8BytesToText(AsBytes(text)), text);
  EXPECT_EQ(Utf8ToLatin1(text), all);
  EXPECT_EQ(Utf8ToLatin1("ñ"), Bytes{0xF1});
  EXPECT_EQ(Latin1ToUtf8(Bytes{0xF1}), "ñ");
}

TEST(Charset, CharactersBeyondLatin1FollowThePolicy) {
  EXPECT_EQ(Utf8ToLatin1("a€b"), AsBytes("a?b"));
  EXPECT_EQ(Utf8ToLatin1("a€b", Unrepresentable::CharacterReference), AsBytes("a&#8364;b"));
  EXPECT_EQ(Utf8ToLatin1("😀", Unrepresentable::CharacterReference), AsBytes("&#128512;"));
  // Each boundary of the UTF-8 length classes, decoded and referenced by its own number.
  for (const unsigned code : {0x7FU, 0x80U, 0xFFU, 0x100U, 0x7FFU, 0x800U, 0xD7FFU, 0xE000U,
                              0xFFFFU, 0x10000U, 0x10FFFFU}) {
    const Bytes expected = code <= 0xFF ? Bytes{static_cast<std::uint8_t>(code)}
                                        : AsBytes("&#" + std::to_string(code) + ";");
    EXPECT_EQ(Utf8ToLatin1(Utf8(code), Unrepresentable::CharacterReference), expected) << code;
    EXPECT_EQ(Utf8BytesToText(AsBytes(Utf8(code))), Utf8(code)) << code;
  }
}

TEST(Charset, MalformedUtf8BecomesOneSubstitutePerBadSubpart) {
  struct Case {
    std::string input;
    std::string latin1;  // with '?' for each substitute
  };
  const Case cases[] = {
      {"\x80", "?"},                 // stray continuation byte
      {"a\xE2\x82", "a?"},           // truncated at the end
      {"\xE2\x82z", "?z"},           // truncated before an ASCII byte, which survives
      {"\xC0\xAF", "??"},            // overlong
      {"\xE0\x80\x80", "???"},       // overlong three-byte form
      {"\xF0\x8F\xBF\xBF", "????"},  // overlong four-byte form
      {"\xED\xA0\x80", "???"},       // surrogate
      {"\xF4\x90\x80\x80", "????"},  // beyond U+10FFFF
      {"\xFF\xC3\xB1", "?\xF1"},     // invalid lead, then a good character
      {"a\xC3", "a?"},               // a two-byte lead cut off by the end
      {"\xC3z", "?z"},               // a two-byte lead before an ASCII byte
      {"\xC2\xC3\xB1", "?\xF1"},     // a two-byte lead before another lead
  };
  for (const auto& [input, latin1] : cases) {
    EXPECT_EQ(Utf8ToLatin1(input), AsBytes(latin1)) << latin1;
    EXPECT_EQ(Utf8ToLatin1(input, Unrepresentable::CharacterReference), AsBytes(latin1));
    std::string text;
    for (const char c : latin1) {
      text += c == '?' ? std::string("\uFFFD") : Latin1ToUtf8(AsBytes({&c, 1}));
    }
    EXPECT_EQ(Utf8BytesToText(AsBytes(input)), text) << latin1;
  }
}

// ASCII is copied in runs found many bytes at a time; a character that ends a run, wherever it
// falls in a block, must come out exactly once and in its place.
TEST(Charset, CharactersBeyondAsciiAtEveryOffsetOfLongRuns) {
  for (const unsigned code : {0xF1U, 0x20ACU, 0x1F600U}) {
    const std::string character = Utf8(code);
    const std::string expected =
        code <= 0xFF ? std::string(1, static_cast<char>(code)) : "&#" + std::to_string(code) + ";";
    for (std::size_t at = 0; at <= 40; ++at) {
      const std::string text = std::string(at, 'a') + character + std::string(40 - at, 'b');
      const std::string latin1 = std::string(at, 'a') + expected + std::string(40 - at, 'b');
      EXPECT_EQ(Utf8ToLatin1(text, Unrepresentable::CharacterReference), AsBytes(latin1))
          << code << " at " << at;
      Bytes appended = AsBytes("<?x?>");
      AppendLatin1(appended, text, Unrepresentable::CharacterReference);
      EXPECT_EQ(appended, AsBytes("<?x?>" + latin1)) << code << " at " << at;
    }
  }
  EXPECT_EQ(Utf8ToLatin1(std::string(33, 'z') + "\xC3"), AsBytes(std::string(33, 'z') + "?"));
}

TEST(Charset, NamedCharsets) {
  for (const char* name : {"ISO-8859-1", "iso-8859-1"}) {
    EXPECT_EQ(TextToBytes("ñ€", name), AsBytes("\xF1?"));
    EXPECT_EQ(BytesToText(Bytes{0xF1}, name), "ñ");
    EXPECT_TRUE(TextToBytes("", name).empty());
  }
  for (const char* name : {"UTF-8", "utf-8"}) {
    EXPECT_EQ(TextToBytes("ñ€", name), AsBytes("ñ€"));
    EXPECT_EQ(BytesToText(AsBytes("ñ\xFF"), name), "ñ\uFFFD");
    EXPECT_TRUE(TextToBytes("", name).empty());
  }
  for (const char* name : {"", "UTF8", "latin1", "ISO-8859-15", "UTF-8 "}) {
    EXPECT_THROW(TextToBytes("a", name), Error) << name;
    try {
      BytesToText(Bytes{'a'}, name);
      ADD_FAILURE() << name;
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "juego de caracteres no soportado: " + std::string(name));
    }
  }
}

}  // namespace
}  // namespace QuarloCliente::detail
