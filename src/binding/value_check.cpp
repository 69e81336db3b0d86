#include "binding/value_check.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <quarlo/binding_values.hpp>
#include <quarlo/error.hpp>
#include <regex>
#include <string>
#include <vector>

#include "binding/date_text.hpp"
#include "core/base64.hpp"

namespace QuarloCliente::detail {

namespace {

// What each byte may be in a name; every path step and attribute set is checked against it.
enum class NameByte : std::uint8_t { kNone, kStart, kInside };

constexpr std::array<NameByte, 256> kNameBytes = [] {
  std::array<NameByte, 256> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    const auto c = static_cast<char>(byte);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || byte >= 0x80) {
      table[byte] = NameByte::kStart;
    } else if (IsDigit(c) || c == '-' || c == '.') {
      table[byte] = NameByte::kInside;
    }
  }
  return table;
}();

NameByte NameByteOf(char c) {
  return kNameBytes[static_cast<unsigned char>(c)];
}

}  // namespace

std::size_t NameLength(std::string_view text) {
  if (text.empty() || NameByteOf(text.front()) != NameByte::kStart) return 0;
  std::size_t length = 1;
  while (length < text.size() && NameByteOf(text[length]) != NameByte::kNone) ++length;
  return length;
}

bool IsNcName(std::string_view text) {
  return !text.empty() && NameLength(text) == text.size();
}

std::string_view TrimXmlSpace(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

namespace {

// Code points of a UTF-8 text, or -1 when it is not well-formed.
long CountCodePoints(std::string_view text) {
  long count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) return -1;
    i += length;
  }
  return count;
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

std::string JoinEnumerations(const schema::SimpleType& type) {
  std::string list;
  for (std::string_view value : schema::Enumerations(type)) {
    if (!list.empty()) list += ", ";
    list += value;
  }
  return list;
}

// The RUT pattern, the only one of the SII schemas: digits, a hyphen, a check digit or K.
constexpr std::string_view kRutPattern = "[0-9]+-([0-9]|K)";

bool IsRut(std::string_view text) {
  if (text.size() < 3 || !(IsDigit(text.back()) || text.back() == 'K')) return false;
  const std::string_view number = text.substr(0, text.size() - 2);
  return text[text.size() - 2] == '-' && std::all_of(number.begin(), number.end(), IsDigit);
}

// One compiled regex per pattern of the table; the SII schemas use very few. The RUT pattern is
// matched by hand: every RUT a submission sets passes here, and the regex engine costs more than
// the rest of setting the value.
bool MatchesPattern(std::string_view pattern, std::string_view text) {
  if (pattern == kRutPattern) return IsRut(text);
  static std::mutex mutex;
  static std::map<std::string, std::regex, std::less<>> compiled;
  std::lock_guard lock(mutex);
  auto found = compiled.find(pattern);
  if (found == compiled.end()) {
    found = compiled.emplace(std::string(pattern), std::regex(std::string(pattern))).first;
  }
  return std::regex_match(text.begin(), text.end(), found->second);
}

// The bounds and allowed values of a numeric simple type as numbers.
template <class Number>
struct NumericFacets {
  std::optional<Number> min;
  std::optional<Number> max;
  std::vector<Number> allowed;
};

// nullopt when a facet of the type is not a number of its kind.
template <class Number>
std::optional<NumericFacets<Number>> ParseFacets(const schema::SimpleType& type) {
  NumericFacets<Number> facets;
  if (!type.min_inclusive.empty() && !(facets.min = Number::TryParse(type.min_inclusive))) {
    return std::nullopt;
  }
  if (!type.max_inclusive.empty() && !(facets.max = Number::TryParse(type.max_inclusive))) {
    return std::nullopt;
  }
  for (std::string_view allowed : schema::Enumerations(type)) {
    auto value = Number::TryParse(allowed);
    if (!value) return std::nullopt;
    facets.allowed.push_back(*std::move(value));
  }
  return facets;
}

// The facets of the table's simple type, parsed once per process, as every number a document
// sets is compared with them; nullptr for a type whose facets do not parse, which is checked
// the long way and reports what it finds there.
template <class Number>
const NumericFacets<Number>* FacetsOf(int simple_type) {
  static const auto table = [] {
    std::vector<std::optional<NumericFacets<Number>>> all;
    for (const schema::SimpleType& type : schema::kSimpleTypes) {
      all.push_back(ParseFacets<Number>(type));
    }
    return all;
  }();
  const auto& facets = table[static_cast<std::size_t>(simple_type)];
  return facets ? &*facets : nullptr;
}

template <class Number>
std::string CheckBounds(const schema::SimpleType& type, const NumericFacets<Number>* facets,
                        const Number& value) {
  if (!type.min_inclusive.empty() &&
      value < (facets != nullptr ? *facets->min : Number(type.min_inclusive))) {
    return "el valor " + value.ToString() + " es menor que el mínimo " +
           std::string(type.min_inclusive);
  }
  if (!type.max_inclusive.empty() &&
      value > (facets != nullptr ? *facets->max : Number(type.max_inclusive))) {
    return "el valor " + value.ToString() + " es mayor que el máximo " +
           std::string(type.max_inclusive);
  }
  return {};
}

template <class Number>
std::string CheckEnumeration(const schema::SimpleType& type, const NumericFacets<Number>* facets,
                             const Number& value) {
  if (type.enumeration_count == 0) return {};
  if (facets != nullptr) {
    if (std::find(facets->allowed.begin(), facets->allowed.end(), value) != facets->allowed.end()) {
      return {};
    }
  } else {
    for (std::string_view allowed : schema::Enumerations(type)) {
      if (Number(allowed) == value) return {};
    }
  }
  return "el valor " + value.ToString() + " no es uno de los permitidos (" +
         JoinEnumerations(type) + ")";
}

std::string CheckDigits(const schema::SimpleType& type, std::size_t total, std::size_t fraction) {
  if (type.total_digits >= 0 && total > static_cast<std::size_t>(type.total_digits)) {
    return "el valor tiene " + std::to_string(total) + " dígitos y el máximo es " +
           std::to_string(type.total_digits);
  }
  if (type.fraction_digits >= 0 && fraction > static_cast<std::size_t>(type.fraction_digits)) {
    return "el valor tiene " + std::to_string(fraction) + " decimales y el máximo es " +
           std::to_string(type.fraction_digits);
  }
  return {};
}

std::string CheckInteger(int simple_type, std::string_view text) {
  const schema::SimpleType& type = schema::Simple(simple_type);
  const auto value = BindingInteger::TryParse(text);
  if (!value) return Quoted(text) + " no es un número entero";
  const auto* facets = FacetsOf<BindingInteger>(simple_type);
  std::string problem = CheckEnumeration(type, facets, *value);
  if (problem.empty()) problem = CheckBounds(type, facets, *value);
  if (problem.empty()) problem = CheckDigits(type, value->Digits(), 0);
  return problem;
}

std::string CheckDecimal(int simple_type, std::string_view text) {
  const schema::SimpleType& type = schema::Simple(simple_type);
  const auto value = BindingDecimal::TryParse(text);
  if (!value) return Quoted(text) + " no es un número decimal";
  const auto* facets = FacetsOf<BindingDecimal>(simple_type);
  std::string problem = CheckEnumeration(type, facets, *value);
  if (problem.empty()) problem = CheckBounds(type, facets, *value);
  if (problem.empty()) problem = CheckDigits(type, value->TotalDigits(), value->FractionDigits());
  return problem;
}

std::string CheckDate(const schema::SimpleType& type, std::string_view text,
                      BindingDateTimeKind kind) {
  const auto value = BindingDateTime::TryParse(text, kind);
  if (!value) return Quoted(text) + " no es " + DateKindDescription(kind);
  if (type.min_inclusive.empty() && type.max_inclusive.empty()) return {};
  // Bounds compare the sortable text, which orders like the values when zones are left aside.
  const DateText sortable = SortableText(*value);
  if (!type.min_inclusive.empty() && sortable.View() < type.min_inclusive) {
    return "la fecha " + sortable.ToString() + " es anterior al mínimo " +
           std::string(type.min_inclusive);
  }
  if (!type.max_inclusive.empty() && sortable.View() > type.max_inclusive) {
    return "la fecha " + sortable.ToString() + " es posterior al máximo " +
           std::string(type.max_inclusive);
  }
  return {};
}

std::string CheckString(const schema::SimpleType& type, std::string_view text) {
  const long length = CountCodePoints(text);
  if (type.length >= 0 && length != type.length) {
    return "el texto tiene " + std::to_string(length) + " caracteres y debe tener " +
           std::to_string(type.length);
  }
  if (type.min_length >= 0 && length < type.min_length) {
    return "el texto tiene " + std::to_string(length) + " caracteres y el mínimo es " +
           std::to_string(type.min_length);
  }
  if (type.max_length >= 0 && length > type.max_length) {
    return "el texto tiene " + std::to_string(length) + " caracteres y el máximo es " +
           std::to_string(type.max_length);
  }
  if (type.enumeration_count > 0) {
    bool allowed = false;
    for (std::string_view value : schema::Enumerations(type)) allowed = allowed || value == text;
    if (!allowed) {
      return Quoted(text) + " no es uno de los valores permitidos (" + JoinEnumerations(type) + ")";
    }
  }
  if (!type.pattern.empty() && !MatchesPattern(type.pattern, text)) {
    return Quoted(text) + " no tiene la forma " + std::string(type.pattern);
  }
  return {};
}

}  // namespace

std::string CheckValue(int simple_type, std::string_view text) {
  const schema::SimpleType& type = schema::Simple(simple_type);
  switch (type.kind) {
    case schema::Kind::kInteger:
      return CheckInteger(simple_type, text);
    case schema::Kind::kDecimal:
      return CheckDecimal(simple_type, text);
    case schema::Kind::kDate:
      return CheckDate(type, text, BindingDateTimeKind::XsDate);
    case schema::Kind::kDateTime:
      return CheckDate(type, text, BindingDateTimeKind::XsDateTime);
    case schema::Kind::kYearMonth:
      return CheckDate(type, text, BindingDateTimeKind::XsGYearMonth);
    case schema::Kind::kYear:
      return CheckDate(type, text, BindingDateTimeKind::XsGYear);
    case schema::Kind::kBase64:
      try {
        DecodeBase64(text);
        return {};
      } catch (const Error&) {
        return Quoted(text) + " no es Base64 válido";
      }
    case schema::Kind::kId:
      return IsNcName(TrimXmlSpace(text)) ? std::string()
                                          : Quoted(text) + " no es un identificador XML";
    case schema::Kind::kBoolean: {
      const std::string_view value = TrimXmlSpace(text);
      return value == "true" || value == "false" || value == "1" || value == "0"
                 ? std::string()
                 : Quoted(text) + " no es un valor lógico (true, false, 1 o 0)";
    }
    case schema::Kind::kUri:
    case schema::Kind::kString:
      return CheckString(type, text);
  }
  return {};
}

std::string CheckXmlCharacters(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // Nearly every value is printable ASCII, which needs no decoding.
    if (lead >= 0x20 && lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned long code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead >> 5) == 6) {
      length = 2;
      code = lead & 0x1Fu;
    } else if ((lead >> 4) == 14) {
      length = 3;
      code = lead & 0x0Fu;
    } else if ((lead >> 3) == 30) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return "el texto no es UTF-8 válido";
    }
    if (i + length > text.size()) return "el texto no es UTF-8 válido";
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next >> 6) != 2) return "el texto no es UTF-8 válido";
      code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr unsigned long kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return "el texto no es UTF-8 válido";
    }
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code != 0xFFFE && code != 0xFFFF);
    if (!allowed) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "U+%04lX", code);
      return "el texto contiene el carácter " + std::string(buffer) + ", que XML no admite";
    }
    i += length;
  }
  return {};
}

bool SameValue(int simple_type, std::string_view a, std::string_view b) {
  // A fixed attribute is nearly always set to its own spelling, which is its value whatever the
  // type, valid or not.
  if (a == b) return true;
  switch (schema::Simple(simple_type).kind) {
    case schema::Kind::kInteger:
    case schema::Kind::kDecimal: {
      const auto x = BindingDecimal::TryParse(a);
      const auto y = BindingDecimal::TryParse(b);
      return x && y ? *x == *y : a == b;
    }
    default:
      return TrimXmlSpace(a) == TrimXmlSpace(b);
  }
}

int SimpleTypeAt(schema::RootKind root, std::initializer_list<std::string_view> path) {
  int complex = schema::Root(root).complex_type;
  int simple = -1;
  for (std::string_view name : path) {
    if (complex < 0) return -1;
    const schema::Particle* particle = schema::FindParticle(complex, name);
    if (particle == nullptr) return -1;
    complex = particle->complex_type;
    simple = particle->simple_type;
  }
  return simple;
}

}  // namespace QuarloCliente::detail
