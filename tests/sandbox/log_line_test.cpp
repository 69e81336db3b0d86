// The sandbox's log is one line per request. Whatever a client puts in a path, a header or a
// body that the log echoes must stay inside that line, visible, and unable to steer a terminal.

#include "server/log_line.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace QuarloSandbox {
namespace {

bool HasControl(const std::string& line) {
  return std::any_of(line.begin(), line.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

TEST(LogLine, EscapesEveryControlCharacterAndLeavesTextAlone) {
  EXPECT_EQ(EscapeForLog("Comercializadora Ñuñoa Ltda. – 5 €"),
            "Comercializadora Ñuñoa Ltda. – 5 €");
  EXPECT_EQ(EscapeForLog("a\nquarlo-sandbox: GET /FiscalStatus 200"),
            "a\\nquarlo-sandbox: GET /FiscalStatus 200");
  EXPECT_EQ(EscapeForLog("\r\t\x1b[2J\x7f"), "\\r\\t\\x1b[2J\\x7f");
  EXPECT_EQ(EscapeForLog(std::string("a\0b", 3)), "a\\x00b");
  // A literal backslash is doubled, so that "\n" written by a client cannot pass for an escape.
  EXPECT_EQ(EscapeForLog("C:\\n"), "C:\\\\n");
  // C1 controls, encoded as UTF-8 or as lone bytes, and bytes that are not UTF-8.
  EXPECT_EQ(EscapeForLog("x\xc2\x9b"
                         "31m"),
            "x\\u009b31m");
  EXPECT_EQ(EscapeForLog("x\x9b"
                         "31m"),
            "x\\x9b31m");
  EXPECT_EQ(EscapeForLog("\xc3"), "\\xc3") << "a sequence cut short";
  EXPECT_EQ(EscapeForLog("\xc0\xaf"), "\\xc0\\xaf") << "an overlong '/'";
  EXPECT_EQ(EscapeForLog("\xed\xa0\x80"), "\\xed\\xa0\\x80") << "a surrogate";
  std::string everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
  EXPECT_FALSE(HasControl(EscapeForLog(everyByte)));
}

TEST(LogLine, NamesTheOperationOnlyAndEscapesEveryValue) {
  EXPECT_EQ(RequestLogLine("GET", "/FiscalStatus/T/E/76543210-3/33/1", 200, ""),
            "GET /FiscalStatus 200");
  const std::string forged =
      RequestLogLine("GET", "/No\nExiste", 404, "ruta desconocida: /No\nquarlo-sandbox: forged");
  EXPECT_FALSE(HasControl(forged)) << forged;
  EXPECT_NE(forged.find("ruta desconocida: /No\\nquarlo-sandbox: forged"), std::string::npos);
  EXPECT_EQ(RequestLogLine("", "", 408, "tarde"), "- - 408: tarde")
      << "a request whose line never arrived";
  EXPECT_EQ(
      RequestLogLine("POST", "/ReconciliateCessions/T/1-9/a/b/0/secreta", 400, "x").find("secreta"),
      std::string::npos);
}

}  // namespace
}  // namespace QuarloSandbox
