#pragma once

// The tree under every binding object: plain C++ nodes that know their schema declaration, so
// that new elements go to their schema place and values are checked against their type. libxml2
// only parses the text a document is loaded from; the tree is written out by tree_writer.cpp.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/schema.hpp"

namespace QuarloCliente {
class BindingElement;
}

namespace QuarloCliente::detail {

struct BindingAttribute {
  std::string ns;  // "" for an unqualified attribute
  std::string name;
  std::string value;
};

struct BindingNode {
  // The fields a serialiser reads for every element come first, so that they share the node's
  // first cache lines.
  std::string name;
  // The declaration in the parent's type; nullptr for a root and for untyped elements.
  const schema::Particle* particle = nullptr;
  int complex_type = -1;
  // The type of the element's value: its simple type or its complex type's simple content.
  int simple_type = -1;
  // No schema below: any child, attribute and text is accepted (kept unknown elements and the
  // free-form Personalizados).
  bool untyped = false;
  // The declaration's namespace, read without reaching the declaration; meaningful only with one.
  schema::Ns particle_ns = schema::Ns::kSiiDte;
  std::string text;
  std::vector<std::shared_ptr<BindingNode>> children;
  std::vector<BindingAttribute> attributes;
  // For an element with a declaration, always the declaration's namespace, which the serialiser
  // relies on.
  std::string ns;
  std::weak_ptr<BindingNode> parent;

  // True when the element may hold a text value.
  bool TakesText() const { return untyped || simple_type >= 0; }
  // The slot of the element in its parent's sequence, -1 when it has none.
  int Slot() const { return particle == nullptr ? -1 : particle->slot; }
  // The attribute's value, or nullptr when absent.
  const std::string* FindAttribute(std::string_view attribute) const;
};

// A new element of the root's type; `populate` as for NewSchemaNode.
std::shared_ptr<BindingNode> NewRootNode(schema::RootKind kind, bool populate = true);

// A new element of a declaration. With `populate`, required attributes with a fixed value are
// set, and required, non-repeated complex children outside any choice are created the same way,
// except signatures, which only a signer can fill; simple values are left for the caller. A
// loaded element is created without, to hold exactly what was read.
std::shared_ptr<BindingNode> NewSchemaNode(const schema::Particle& particle, bool populate = true);

// A new element without schema.
std::shared_ptr<BindingNode> NewUntypedNode(std::string ns, std::string name);

// Adds the child to a typed parent at its schema place (after the elements of its slot and of
// every earlier slot), or at the end of an untyped parent. Returns the parent's handle of it,
// valid until the parent's children change.
const std::shared_ptr<BindingNode>& InsertChild(const std::shared_ptr<BindingNode>& parent,
                                                std::shared_ptr<BindingNode> child);

// Detaches the child from its parent; the child stays usable on its own.
void RemoveChild(BindingNode& parent, const BindingNode& child);

// Sets or adds an unqualified attribute, keeping the schema order of a typed element's
// attributes.
void PutAttribute(BindingNode& node, std::string_view name, std::string_view value);

// What is wrong with the order and number of a typed element's children.
enum class ContentIssue { kUnknown, kOutOfOrder, kTooMany, kMissing };

struct ContentProblem {
  ContentIssue issue;
  std::string message;
};

// The faults of a typed element's children against its type: unknown elements, elements out of
// schema order or beyond their maximum, and, when `include_missing`, required elements absent.
std::vector<ContentProblem> CheckContent(const BindingNode& node, bool include_missing);

struct ValueProblem {
  bool unknown_attribute;  // an attribute the schema does not declare, rather than a bad value
  std::string message;
};

// The faults of an element's attributes and own value: undeclared attributes, invalid or wrongly
// fixed values, and, when `include_missing`, required attributes absent. Attributes of the XML
// Schema instance namespace are always accepted; untyped elements have no faults.
std::vector<ValueProblem> CheckAttributesAndValue(const BindingNode& node, bool include_missing);

// Every fault of the subtree against the schema, each prefixed with the path of its element.
void CollectProblems(const BindingNode& node, const std::string& path,
                     std::vector<std::string>& problems);

// The nodes behind the typed getters of BindingElement (Child, OptionalChild, EnsureChild,
// ReplaceChild), for the library's own fills that reach many elements of one document: a handle
// made on the stack from the node spares the shared handle each getter allocates, and sets the
// same values through the same checks.
struct ElementNodes {
  static std::shared_ptr<BindingNode> Child(const BindingElement& element, std::string_view path);
  // nullptr when absent.
  static std::shared_ptr<BindingNode> OptionalChild(const BindingElement& element,
                                                    std::string_view path);
  static std::shared_ptr<BindingNode> EnsureChild(BindingElement& element, std::string_view path);
  static std::shared_ptr<BindingNode> ReplaceChild(BindingElement& element, std::string_view name);
};

inline constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

}  // namespace QuarloCliente::detail
