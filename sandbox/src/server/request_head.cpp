#include "server/request_head.hpp"

#include <algorithm>

#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// RFC 9110 token characters: what a method or a header name may hold.
bool IsTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

// A target is printable ASCII without blanks; a raw control character there could reach a log or
// an answer as it is.
bool IsTargetChar(char c) {
  return c > 0x20 && c < 0x7f;
}

// A header value may hold blanks, tabs and bytes of UTF-8 text, never another control character.
bool IsValueChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c == '\t' || (byte >= 0x20 && byte != 0x7f);
}

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

[[noreturn]] void Malformed(const std::string& why) {
  throw SandboxError(400, "la solicitud HTTP no es válida: " + why);
}

// Splits off the next line (without its CRLF or LF).
std::string_view NextLine(std::string_view& rest) {
  const auto end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

void ParseRequestLine(std::string_view line, RequestHead& head) {
  const auto firstBlank = line.find(' ');
  const auto lastBlank = line.rfind(' ');
  if (firstBlank == std::string_view::npos || firstBlank == lastBlank) {
    Malformed("la línea de solicitud no tiene método, ruta y versión");
  }
  head.method = line.substr(0, firstBlank);
  head.target = line.substr(firstBlank + 1, lastBlank - firstBlank - 1);
  head.version = line.substr(lastBlank + 1);
  if (!IsToken(head.method)) Malformed("el método no es un nombre");
  if (head.target.empty() || head.target.front() != '/' ||
      !std::all_of(head.target.begin(), head.target.end(), IsTargetChar)) {
    Malformed("la ruta no es una ruta absoluta de caracteres visibles");
  }
  if (head.version != "HTTP/1.1" && head.version != "HTTP/1.0") {
    Malformed("la versión no es HTTP/1.0 ni HTTP/1.1");
  }
}

void ParseHeaderLine(std::string_view line, RequestHead& head) {
  if (line.front() == ' ' || line.front() == '\t') Malformed("una cabecera continúa en otra línea");
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) Malformed("una cabecera no tiene ':'");
  const std::string_view name = line.substr(0, colon);
  if (!IsToken(name)) Malformed("un nombre de cabecera no es válido");
  const std::string_view value = TrimBlanks(line.substr(colon + 1));
  if (!std::all_of(value.begin(), value.end(), IsValueChar)) {
    Malformed("la cabecera " + std::string(name) + " tiene caracteres de control");
  }
  head.headers.emplace_back(name, value);
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::vector<std::string_view> RequestHead::Values(std::string_view name) const {
  std::vector<std::string_view> values;
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoringCase(key, name)) values.emplace_back(value);
  }
  return values;
}

std::optional<std::string_view> RequestHead::First(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

std::size_t HeadLength(std::string_view input, std::size_t from) {
  // The head ends at an empty line: LF followed by LF, or by CRLF.
  for (std::size_t at = input.find('\n', from); at != std::string_view::npos;
       at = input.find('\n', at + 1)) {
    if (at + 1 < input.size() && input[at + 1] == '\n') return at + 2;
    if (at + 2 < input.size() && input[at + 1] == '\r' && input[at + 2] == '\n') return at + 3;
  }
  return 0;
}

RequestHead ParseRequestHead(std::string_view head) {
  RequestHead parsed;
  std::string_view rest = head;
  ParseRequestLine(NextLine(rest), parsed);
  for (std::string_view line = NextLine(rest); !line.empty(); line = NextLine(rest)) {
    ParseHeaderLine(line, parsed);
  }
  return parsed;
}

}  // namespace QuarloSandbox
