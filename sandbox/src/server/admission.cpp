#include "server/admission.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "sandbox_error.hpp"
#include "server/refusal.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::size_t kMaxHostLength = 300;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

bool IsIpv6Char(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

bool IsPort(std::string_view port) {
  if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), IsDigit)) {
    return false;
  }
  unsigned value = 0;
  std::from_chars(port.data(), port.data() + port.size(), value);
  return value <= 65535;
}

void CheckHost(const RequestHead& head) {
  const auto hosts = head.Values("Host");
  if (hosts.size() > 1) throw SandboxError(400, "la solicitud trae más de una cabecera Host");
  if (hosts.size() == 1 && !IsHostAndPort(hosts.front())) {
    throw SandboxError(400, "la cabecera Host no es un nombre de servidor con puerto opcional");
  }
}

void CheckKey(const RequestHead& head, const ApiKeys& keys) {
  std::optional<std::string> key;
  if (const auto value = head.First("AuthKey")) key = std::string(*value);
  if (auto refusal = keys.Refusal(key)) throw SandboxError(401, *refusal);
}

void CheckEncoding(const RequestHead& head) {
  for (const auto encoding : head.Values("Content-Encoding")) {
    // The library never compresses a request; decompressing one would let a small body grow
    // past every cap before anything could count it.
    if (!EqualsIgnoringCase(encoding, "identity")) {
      throw SandboxError(415, "el sandbox no acepta cuerpos comprimidos (Content-Encoding)");
    }
  }
}

std::size_t ContentLength(const std::vector<std::string_view>& lengths, std::size_t maxBody) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    const auto text = lengths[i];
    std::size_t value = 0;
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) {
      throw SandboxError(400, "la cabecera Content-Length no es un número");
    }
    // A length too long for a number is certainly over the cap.
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{}) {
      throw SandboxError(413, BodyTooLargeDescription(maxBody));
    }
    if (i > 0 && value != length) {
      throw SandboxError(400, "la solicitud trae dos Content-Length distintos");
    }
    length = value;
  }
  if (length > maxBody) throw SandboxError(413, BodyTooLargeDescription(maxBody));
  return length;
}

BodyFraming Framing(const RequestHead& head, std::size_t maxBody) {
  const auto codings = head.Values("Transfer-Encoding");
  const auto lengths = head.Values("Content-Length");
  if (!codings.empty()) {
    if (codings.size() > 1 || !EqualsIgnoringCase(codings.front(), "chunked")) {
      throw SandboxError(501, "el sandbox solo acepta Transfer-Encoding: chunked");
    }
    // Both at once are how a request is smuggled past a proxy: refused, not guessed.
    if (!lengths.empty()) {
      throw SandboxError(400, "la solicitud trae Transfer-Encoding y Content-Length a la vez");
    }
    return BodyFraming{BodyFraming::Kind::Chunked, 0};
  }
  if (lengths.empty()) return BodyFraming{};
  const std::size_t length = ContentLength(lengths, maxBody);
  return length == 0 ? BodyFraming{} : BodyFraming{BodyFraming::Kind::Length, length};
}

bool ExpectsContinue(const RequestHead& head) {
  const auto expect = head.First("Expect");
  if (!expect) return false;
  if (!EqualsIgnoringCase(*expect, "100-continue")) {
    throw SandboxError(417, "el sandbox solo entiende Expect: 100-continue");
  }
  return true;
}

}  // namespace

bool IsHostAndPort(std::string_view host) {
  if (host.empty() || host.size() > kMaxHostLength) return false;
  std::string_view name = host;
  std::string_view port;
  if (host.front() == '[') {
    const auto close = host.find(']');
    if (close == std::string_view::npos || close < 2) return false;
    const std::string_view address = host.substr(1, close - 1);
    if (!std::all_of(address.begin(), address.end(), IsIpv6Char)) return false;
    const std::string_view after = host.substr(close + 1);
    if (after.empty()) return true;
    return after.front() == ':' && IsPort(after.substr(1));
  }
  const auto colon = host.rfind(':');
  if (colon != std::string_view::npos) {
    name = host.substr(0, colon);
    port = host.substr(colon + 1);
    if (!IsPort(port)) return false;
  }
  return !name.empty() && std::all_of(name.begin(), name.end(), IsNameChar);
}

Admission Admit(const RequestHead& head, const ApiKeys& keys, std::size_t maxBody) {
  CheckHost(head);
  CheckKey(head, keys);
  CheckEncoding(head);
  Admission admission;
  admission.framing = Framing(head, maxBody);
  admission.expectsContinue =
      ExpectsContinue(head) && admission.framing.kind != BodyFraming::Kind::None;
  return admission;
}

}  // namespace QuarloSandbox
