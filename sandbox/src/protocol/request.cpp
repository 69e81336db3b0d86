#include "protocol/request.hpp"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <limits>
#include <quarlo/namespaces.hpp>

#include "core/charset.hpp"
#include "core/xml.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

namespace {

[[noreturn]] void Refuse(const std::string& description) {
  throw SandboxError(400, description);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// No segment names a document, a printer or a comment with a control character in it; echoed
// into an answer or stored, one would only break what reads it later.
void RefuseControlCharacters(std::string_view decoded) {
  for (const char c : decoded) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) continue;
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X", byte);
    Refuse("un segmento de la ruta contiene el carácter de control " + std::string(code));
  }
}

std::string PercentDecode(std::string_view segment) {
  std::string bytes;
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] != '%') {
      bytes.push_back(segment[i]);
      continue;
    }
    const int high = i + 2 < segment.size() ? HexValue(segment[i + 1]) : -1;
    const int low = i + 2 < segment.size() ? HexValue(segment[i + 2]) : -1;
    if (high < 0 || low < 0) Refuse("la ruta tiene un escape % mal formado");
    bytes.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  RefuseControlCharacters(bytes);
  // Segments are UTF-8 text; a malformed sequence becomes U+FFFD rather than stored bytes.
  return qd::Utf8BytesToText(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

RequestBody::RequestBody(std::string_view body, std::string_view root) {
  const qd::XmlDocPtr doc = qd::ParseNetworkXml(body);
  const xmlNode* element = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (element == nullptr) Refuse("el cuerpo de la solicitud no es XML bien formado");
  root_ = std::string(qd::View(element->name));
  const std::string_view ns = element->ns ? qd::View(element->ns->href) : std::string_view{};
  if (root_ != root || ns != QuarloCliente::ApiNamespace) {
    Refuse("se esperaba un elemento " + std::string(root) + " del espacio de nombres " +
           std::string(QuarloCliente::ApiNamespace) + " y llegó " + root_);
  }
  for (const xmlNode* child = element->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    fields_.try_emplace(std::string(qd::View(child->name)), qd::NodeText(child));
  }
}

const std::string& RequestBody::Field(std::string_view name) const {
  const auto found = fields_.find(name);
  if (found == fields_.end()) Refuse("falta el elemento " + std::string(name) + " en " + root_);
  return found->second;
}

std::int64_t RequestBody::Number(std::string_view name, std::int64_t min, std::int64_t max) const {
  const std::string& text = Field(name);
  // Negative numbers are written by the library with a minus sign.
  if (!text.empty() && text.front() == '-') {
    const std::int64_t value = RequireNumber(std::string_view(text).substr(1), name, 0,
                                             std::numeric_limits<std::int64_t>::max());
    if (-value < min) {
      Refuse("el elemento " + std::string(name) + " debe estar entre " + std::to_string(min) +
             " y " + std::to_string(max));
    }
    return -value;
  }
  return RequireNumber(text, name, min, max);
}

bool RequestBody::Flag(std::string_view name) const {
  std::string text = Field(name);
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (text == "true") return true;
  if (text == "false") return false;
  Refuse("el elemento " + std::string(name) + " debe ser True o False");
}

PathCall SplitTarget(std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  if (target.empty() || target.front() != '/') Refuse("la ruta de la solicitud no es válida");
  target.remove_prefix(1);
  PathCall call;
  const auto slash = target.find('/');
  call.operation = PercentDecode(target.substr(0, slash));
  if (slash == std::string_view::npos) return call;
  std::string_view rest = target.substr(slash + 1);
  while (true) {
    const auto next = rest.find('/');
    call.segments.push_back(PercentDecode(rest.substr(0, next)));
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next + 1);
  }
  return call;
}

std::string RequireEnvironment(std::string_view text) {
  if (text == "T" || text == "P") return std::string(text);
  Refuse("el ambiente debe ser T (certificación) o P (producción), no '" + std::string(text) + "'");
}

std::string RequireRut(std::string_view text, std::string_view field) {
  const auto dash = text.find('-');
  const bool ok = dash != std::string_view::npos && dash >= 1 && dash <= 8 &&
                  AllDigits(text.substr(0, dash)) && text.size() == dash + 2 &&
                  (std::isdigit(static_cast<unsigned char>(text.back())) || text.back() == 'K' ||
                   text.back() == 'k');
  if (!ok) {
    Refuse("el " + std::string(field) + " '" + std::string(text) +
           "' no es un RUT (dígitos, guion y dígito verificador)");
  }
  std::string rut(text);
  if (rut.back() == 'k') rut.back() = 'K';
  return rut;
}

std::int64_t RequireNumber(std::string_view text, std::string_view field, std::int64_t min,
                           std::int64_t max) {
  std::int64_t value = 0;
  bool ok = AllDigits(text);
  for (std::size_t i = 0; ok && i < text.size(); ++i) {
    const int digit = text[i] - '0';
    if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
      ok = false;
    } else {
      value = value * 10 + digit;
    }
  }
  if (!ok || value < min || value > max) {
    Refuse("el " + std::string(field) + " '" + std::string(text) +
           "' debe ser un número entero entre " + std::to_string(min) + " y " +
           std::to_string(max));
  }
  return value;
}

std::string RequireDate(std::string_view text, std::string_view field) {
  std::string digits;
  if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
    digits = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) +
             std::string(text.substr(8, 2));
  } else {
    digits = std::string(text);
  }
  const auto bad = [&] {
    Refuse("el " + std::string(field) + " '" + std::string(text) + "' no es una fecha AAAA-MM-DD");
  };
  if (digits.size() != 8 || !AllDigits(digits)) bad();
  const std::chrono::year_month_day date{
      std::chrono::year{std::stoi(digits.substr(0, 4))},
      std::chrono::month{static_cast<unsigned>(std::stoi(digits.substr(4, 2)))},
      std::chrono::day{static_cast<unsigned>(std::stoi(digits.substr(6, 2)))}};
  if (!date.ok()) bad();
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2);
}

}  // namespace QuarloSandbox
