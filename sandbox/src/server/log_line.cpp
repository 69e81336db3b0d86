#include "server/log_line.hpp"

#include <cstdint>

#include "server/dispatcher.hpp"

namespace QuarloSandbox {

namespace {

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += prefix;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xf];
}

// The length of the UTF-8 sequence at the front of `text`, or 0 when it is not one.
std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80) return 0;
  }
  const auto second = static_cast<unsigned char>(text[1]);
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) ||
      (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second > 0x8f)) {
    return 0;
  }
  return length;
}

void AppendControl(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      AppendHex(out, "\\x", byte, 2);
  }
}

}  // namespace

std::string EscapeForLog(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte == '\\') {
      out += "\\\\";
      text.remove_prefix(1);
    } else if (byte < 0x20 || byte == 0x7f) {
      AppendControl(out, byte);
      text.remove_prefix(1);
    } else if (byte < 0x80) {
      out += text[0];
      text.remove_prefix(1);
    } else if (const std::size_t length = Utf8Length(text); length == 0) {
      AppendHex(out, "\\x", byte, 2);
      text.remove_prefix(1);
    } else if (length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[1]) < 0xa0) {
      // U+0080..U+009F, the C1 controls; some terminals act on them as on ESC sequences.
      AppendHex(out, "\\u", static_cast<unsigned char>(text[1]), 4);
      text.remove_prefix(2);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

std::string RequestLogLine(std::string_view method, std::string_view target, int status,
                           std::string_view description) {
  // A request refused before its line was read has neither method nor target.
  std::string line =
      (method.empty() ? std::string("-") : EscapeForLog(method)) + " " +
      (target.empty() ? std::string("-") : "/" + EscapeForLog(OperationName(std::string(target)))) +
      " " + std::to_string(status);
  if (!description.empty()) line += ": " + EscapeForLog(description);
  return line;
}

}  // namespace QuarloSandbox
