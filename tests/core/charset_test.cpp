#include "core/charset.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <quarlo/error.hpp>
#include <string>
#include <string_view>

#include "core/document_bytes.hpp"

namespace QuarloCliente::detail {
namespace {

using namespace std::string_view_literals;

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

std::string ErrorOf(std::string_view bytes) {
  try {
    DocumentBytesToUtf8(bytes);
  } catch (const Error& error) {
    return error.what();
  }
  return "sin error";
}

std::string Declared(std::string_view encoding) {
  return "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\n";
}

TEST(DocumentBytes, ValidUtf8IsReturnedAsItIsWhateverItsDeclarationSays) {
  const std::string body = "<a>Larraín N° Corporación € “x”</a>";
  for (const std::string& head :
       {Declared("UTF-8"), Declared("ISO-8859-1"), Declared("windows-1252"), Declared("US-ASCII"),
        Declared("UTF-16"), Declared("Shift_JIS"), std::string("\xEF\xBB\xBF") + Declared("UTF-8"),
        std::string()}) {
    EXPECT_EQ(DocumentBytesToUtf8(head + body), head + body) << head;
  }
  EXPECT_EQ(DocumentBytesToUtf8(""), "");
}

TEST(DocumentBytes, Latin1UnderEveryNameQuoteAndSpacingTheDeclarationAllows) {
  const std::string body = "<a>Larra\xEDn N\xB0 Corporaci\xF3n \x80\xFF</a>";
  const std::string expected = "<a>Larraín N° Corporación \u0080ÿ</a>";
  for (const std::string& head :
       {Declared("ISO-8859-1"), Declared("iso-8859-1"), Declared("Latin1"), Declared("l1"),
        Declared("ISO_8859-1"), Declared("ISO8859_1"), Declared("IBM819"),
        std::string("<?xml version='1.0' encoding='iso-8859-1'?>"),
        std::string("<?xml\tversion = \"1.0\"\r\n  encoding\t=\n'ISO-8859-1'  standalone='no' ?>"),
        // No declaration, or one without an encoding: CAF files are written that way.
        std::string(), std::string("<?xml version=\"1.0\"?>"),
        std::string("<?xml version='1.0' standalone='yes'?>"),
        std::string("<?xml-stylesheet href='x' encoding='UTF-16'?>")}) {
    // The declaration is kept as written: the parser reads held text as UTF-8 whatever it names.
    EXPECT_EQ(DocumentBytesToUtf8(head + body), head + expected) << head;
  }
  // At most twice the input.
  EXPECT_EQ(DocumentBytesToUtf8(std::string(1000, '\xE9')), Latin1ToUtf8(Bytes(1000, 0xE9)));
  EXPECT_EQ(DocumentBytesToUtf8(std::string(1000, '\xE9')).size(), 2000u);
}

TEST(DocumentBytes, Windows1252SpecialsAndItsUndefinedBytes) {
  const std::string specials =
      "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98\x99"
      "\x9A\x9B\x9C\x9E\x9F";
  const std::string expected = "€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ";
  for (const char* name : {"windows-1252", "WINDOWS-1252", "Cp1252", "cp1252"}) {
    const std::string head = Declared(name);
    EXPECT_EQ(DocumentBytesToUtf8(head + "<a>" + specials + " N\xB0 Larra\xEDn</a>"),
              head + "<a>" + expected + " N° Larraín</a>")
        << name;
  }
  const std::string head = Declared("windows-1252");
  for (const char undefined : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
    const std::string text = head + "<a>\x80" + undefined + "</a>";
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(undefined));
    EXPECT_EQ(ErrorOf(text), "el byte " + std::string(hex) + " en la posición " +
                                 std::to_string(head.size() + 4) +
                                 " no es válido en la codificación windows-1252");
  }
  // At most three times the input.
  EXPECT_EQ(DocumentBytesToUtf8(head + std::string(1000, '\x80')).size(), head.size() + 3000);
}

TEST(DocumentBytes, RefusesWhatItCannotReadNamingTheEncoding) {
  EXPECT_EQ(ErrorOf(Declared("UTF-16") + "<a>\xE9</a>"), "la codificación UTF-16 no se admite");
  EXPECT_EQ(ErrorOf("<?xml version='1.0' encoding='Shift_JIS'?><a>\x82\xA0</a>"),
            "la codificación Shift_JIS no se admite");
  // Files in a wide encoding, told by their first bytes.
  EXPECT_EQ(ErrorOf("\xFF\xFE<\0?\0"sv), "la codificación UTF-16 no se admite");
  EXPECT_EQ(ErrorOf("\0<\0?\0x\0m\0l"sv), "la codificación UTF-16 no se admite");
  EXPECT_EQ(ErrorOf("<\0\0\0?\0\0\0"sv), "la codificación UTF-32 no se admite");
  // A byte the declared encoding does not have, with where it is.
  const std::string ascii = Declared("us-ascii");
  EXPECT_EQ(ErrorOf(ascii + "<a>\xC3\xA9\xE9</a>"),
            "el byte 0xC3 en la posición " + std::to_string(ascii.size() + 3) +
                " no es válido en la codificación us-ascii");
  const std::string utf8 = Declared("UTF-8");
  EXPECT_EQ(ErrorOf(utf8 + "<a>é\xE9</a>"), "el byte 0xE9 en la posición " +
                                                std::to_string(utf8.size() + 5) +
                                                " no es válido en la codificación UTF-8");
  // A byte order mark says UTF-8 whatever the declaration says.
  EXPECT_EQ(ErrorOf("\xEF\xBB\xBF" + Declared("ISO-8859-1") + "\xE9"),
            "el byte 0xE9 en la posición " + std::to_string(3 + Declared("ISO-8859-1").size()) +
                " no es válido en la codificación UTF-8");
}

}  // namespace
}  // namespace QuarloCliente::detail
