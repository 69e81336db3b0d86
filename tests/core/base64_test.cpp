#include "core/base64.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <quarlo/error.hpp>
#include <random>
#include <string>

namespace QuarloCliente::detail {
namespace {

Bytes RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 engine(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(engine());
  return bytes;
}

// A bit-at-a-time oracle, deliberately unlike the table-driven code under test.
std::string SlowEncode(const Bytes& bytes) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t bit = 0; bit < bytes.size() * 8; bit += 6) {
    unsigned sextet = 0;
    for (std::size_t k = bit; k < bit + 6; ++k) {
      const bool set = k < bytes.size() * 8 && (bytes[k / 8] >> (7 - k % 8) & 1) != 0;
      sextet = sextet << 1 | (set ? 1u : 0u);
    }
    text += alphabet[sextet];
  }
  while (text.size() % 4 != 0) text += '=';
  return text;
}

std::string ErrorText(std::string_view text) {
  try {
    DecodeBase64(text);
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(Base64, MatchesRfc4648Vectors) {
  const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) {
    const Bytes bytes(plain.begin(), plain.end());
    EXPECT_EQ(EncodeBase64(bytes), encoded);
    EXPECT_EQ(DecodeBase64(encoded), bytes) << encoded;
  }
}

// Up to a few steps of each vector width, with every remainder the narrower loops and the byte
// loop take over.
TEST(Base64, RoundTripsEveryLengthAgainstOracle) {
  for (std::size_t size = 0; size <= 128; ++size) {
    const Bytes bytes = RandomBytes(size, static_cast<unsigned>(size));
    const std::string text = EncodeBase64(bytes);
    ASSERT_EQ(text, SlowEncode(bytes)) << "size " << size;
    EXPECT_EQ(DecodeBase64(text), bytes) << "size " << size;
    const std::string unpadded = text.substr(0, text.find('='));
    EXPECT_EQ(DecodeBase64(unpadded), bytes) << "size " << size;
  }
}

TEST(Base64, RoundTripsOneMebibyteWithAndWithoutLineBreaks) {
  const Bytes bytes = RandomBytes(1 << 20, 7);
  const std::string text = EncodeBase64(bytes);
  ASSERT_EQ(text, SlowEncode(bytes));
  EXPECT_EQ(DecodeBase64(text), bytes);
  std::string wrapped;
  for (std::size_t i = 0; i < text.size(); i += 76) wrapped += text.substr(i, 76) + "\r\n";
  EXPECT_EQ(DecodeBase64(wrapped), bytes);
}

TEST(Base64, SkipsWhitespaceAnywhere) {
  const Bytes bytes = RandomBytes(100, 3);
  const std::string text = EncodeBase64(bytes);  // ends in "=="
  const std::string spaces = " \t\r\n\f\v";
  std::mt19937 engine(11);
  for (int trial = 0; trial < 50; ++trial) {
    std::string spaced = text;
    for (int n = 0; n < 10; ++n) {
      spaced.insert(engine() % (spaced.size() + 1), 1, spaces[engine() % spaces.size()]);
    }
    EXPECT_EQ(DecodeBase64(spaced), bytes) << spaced;
  }
  EXPECT_TRUE(DecodeBase64("").empty());
  EXPECT_TRUE(DecodeBase64(spaces).empty());
}

TEST(Base64, RefusesEveryByteOutsideTheAlphabet) {
  const std::string valid = EncodeBase64(RandomBytes(48, 5));  // 64 chars, no padding
  for (int value = 0; value < 256; ++value) {
    const char c = static_cast<char>(value);
    const bool alphabet = std::isalnum(value) || c == '+' || c == '/';
    if (alphabet || c == '=' || std::isspace(value)) continue;
    // Every position, so that each lane of the wide fast path has to notice the intruder.
    for (std::size_t at = 0; at < valid.size(); at += 5) {
      std::string text = valid;
      text[at] = c;
      EXPECT_EQ(ErrorText(text), "el texto Base64 contiene un carácter no válido en la posición " +
                                     std::to_string(at));
    }
  }
}

TEST(Base64, RefusesMisplacedOrBrokenPadding) {
  for (const char* text : {"QQ==QUJD", "QQ==Q", "QQ==*", "QUI==", "QQ=Q="}) {
    EXPECT_NE(ErrorText(text).find("después del relleno"), std::string::npos) << text;
  }
  for (const char* text : {"=", "QUJD=", "Q===", "QUJDQ==="}) {
    EXPECT_NE(ErrorText(text).find("fuera de lugar"), std::string::npos) << text;
  }
  EXPECT_NE(ErrorText("QQ=").find("incompleto"), std::string::npos);
  EXPECT_NE(ErrorText("QUJDR").find("carácter suelto en la posición 4"), std::string::npos);
  EXPECT_NE(ErrorText("QUJD R \n").find("carácter suelto en la posición 5"), std::string::npos);
  EXPECT_EQ(DecodeBase64("QQ = =\r\n"), Bytes{'A'});
}

}  // namespace
}  // namespace QuarloCliente::detail
