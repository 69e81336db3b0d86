#pragma once

// The facts of the SII schemas the binding model works from: for every complex type it models,
// its child elements in sequence order with their occurrences, namespaces and value types. The
// table itself is generated (tools/generate_schema_table.py) into schema_table.inc.

#include <cstdint>
#include <span>
#include <string_view>

namespace QuarloCliente::detail::schema {

// The value space of a simple type.
enum class Kind : std::uint8_t {
  kString,
  kInteger,
  kDecimal,
  kDate,
  kDateTime,
  kYearMonth,
  kYear,
  kBase64,
  kUri,
  kId,
  kBoolean,
};

// The namespaces of the modelled elements.
enum class Ns : std::uint8_t { kSiiDte, kSiiLce, kXmlDsig };

// The six roots the binding types stand for.
enum class RootKind : std::uint8_t {
  kDte,
  kBoleta,
  kConsumoFolios,
  kLibroCompraVenta,
  kLibroGuia,
  kLibroBoleta,
};

// A simple type with the facets of its whole derivation chain; -1 or "" where a facet is absent.
// Integer types carry the bounds of their built-in base (positiveInteger: minInclusive 1).
struct SimpleType {
  Kind kind;
  int length;
  int min_length;
  int max_length;
  int total_digits;
  int fraction_digits;
  std::string_view min_inclusive;
  std::string_view max_inclusive;
  std::string_view pattern;
  int first_enumeration;
  int enumeration_count;
};

inline constexpr int kUnbounded = 0xFFFF;

// One child element of a complex type. Elements sharing a slot are the members of one choice,
// which never repeats and of which at most one member is present.
struct Particle {
  std::string_view name;
  Ns ns;
  int min_occurs;
  int max_occurs;  // kUnbounded for "unbounded"
  int slot;
  int choice_min;  // minOccurs of the choice, -1 for an element outside any choice
  int complex_type;
  int simple_type;
};

struct AttributeDecl {
  std::string_view name;
  int simple_type;
  bool required;
  const char* fixed;  // nullptr when the attribute has no fixed value
};

struct ComplexType {
  int first_particle;
  int particle_count;
  int first_attribute;
  int attribute_count;
  int content_type;  // the simple type of simple content, -1 for element-only or empty content
};

struct RootDecl {
  RootKind kind;
  std::string_view element;
  Ns ns;
  int complex_type;
  std::string_view schema_file;
};

#include "binding/schema_table.inc"

// The URI of a namespace.
constexpr std::string_view NamespaceUri(Ns ns) {
  return kNamespaceUris[static_cast<int>(ns)];
}

// The child elements of a complex type in schema order.
inline std::span<const Particle> Particles(int complex_type) {
  const ComplexType& type = kComplexTypes[complex_type];
  return std::span<const Particle>(kParticles)
      .subspan(static_cast<std::size_t>(type.first_particle),
               static_cast<std::size_t>(type.particle_count));
}

// The attributes of a complex type.
inline std::span<const AttributeDecl> Attributes(int complex_type) {
  const ComplexType& type = kComplexTypes[complex_type];
  return std::span<const AttributeDecl>(kAttributes)
      .subspan(static_cast<std::size_t>(type.first_attribute),
               static_cast<std::size_t>(type.attribute_count));
}

// The allowed values of an enumerated simple type (none when it is not enumerated).
inline std::span<const std::string_view> Enumerations(const SimpleType& type) {
  return std::span<const std::string_view>(kEnumerations)
      .subspan(static_cast<std::size_t>(type.first_enumeration),
               static_cast<std::size_t>(type.enumeration_count));
}

// The simple type at an index of the table.
inline const SimpleType& Simple(int index) {
  return kSimpleTypes[index];
}

// The declaration of a root.
const RootDecl& Root(RootKind kind);

// The child of a complex type with that local name, or nullptr; local names are unique within
// every modelled type, so a path step needs no namespace.
const Particle* FindParticle(int complex_type, std::string_view name);

// The child of a complex type with that namespace and local name, or nullptr.
const Particle* FindParticle(int complex_type, std::string_view namespace_uri,
                             std::string_view name);

// The attribute of a complex type with that name, or nullptr.
const AttributeDecl* FindAttribute(int complex_type, std::string_view name);

}  // namespace QuarloCliente::detail::schema
