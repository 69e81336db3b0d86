#include "core/selector.hpp"

#include <quarlo/error.hpp>

#include "core/xml.hpp"

namespace QuarloCliente::detail {

namespace {

enum class Target { Element, Attribute, Text };

// The steps stay in the path's text ("a/b/c"), read from the last one back as an element's chain
// is checked, so that reading a path allocates nothing.
struct Path {
  bool anywhere = false;
  std::string_view steps;
  Target target = Target::Element;
  std::string_view attribute;
};

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsNameChar(char c, bool first) {
  if (static_cast<unsigned char>(c) >= 0x80 || IsAsciiLetter(c) || c == '_') return true;
  return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':');
}

bool IsName(std::string_view text) {
  if (text.empty() || !IsNameChar(text.front(), true)) return false;
  for (const char c : text) {
    if (!IsNameChar(c, false)) return false;
  }
  return text.back() != ':' && text.find("::") == std::string_view::npos;
}

[[noreturn]] void Invalid(std::string_view path) {
  throw Error("la ruta de selección no es válida: \"" + std::string(path) + "\"");
}

Path ParsePath(std::string_view text) {
  Path path;
  std::string_view rest = text;
  if (rest.substr(0, 2) == "//") {
    path.anywhere = true;
    rest.remove_prefix(2);
  } else if (rest.substr(0, 1) == "/") {
    rest.remove_prefix(1);
  } else {
    Invalid(text);
  }
  const std::string_view steps = rest;
  while (true) {
    const auto slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    const bool last = slash == std::string_view::npos;
    const std::size_t at = steps.size() - rest.size();
    const bool afterAStep = at != 0;
    if (last && step == "text()" && afterAStep) {
      path.target = Target::Text;
    } else if (last && step.substr(0, 1) == "@" && afterAStep && IsName(step.substr(1))) {
      path.target = Target::Attribute;
      path.attribute = step.substr(1);
    } else if (IsName(step)) {
      path.steps = steps.substr(0, at + step.size());
    } else {
      Invalid(text);
    }
    if (last) break;
    rest.remove_prefix(slash + 1);
  }
  return path;
}

bool NameIs(const xmlNode* node, std::string_view written) {
  if (node == nullptr || node->type != XML_ELEMENT_NODE) return false;
  const std::string_view local = View(node->name);
  const bool prefixed = node->ns != nullptr && node->ns->prefix != nullptr;
  if (!prefixed) return local == written;
  const std::string_view prefix = View(node->ns->prefix);
  return written.size() == prefix.size() + 1 + local.size() &&
         written.substr(0, prefix.size()) == prefix && written[prefix.size()] == ':' &&
         written.substr(prefix.size() + 1) == local;
}

// Whether the element ends the chain of steps within the subtree of `top`: its name is the last
// step, its parent's the one before, and so on, none above `top`; for an absolute path the first
// step must be `top` itself.
bool EndsChain(const xmlNode* element, const Path& path, const xmlNode* top) {
  const xmlNode* node = element;
  std::string_view steps = path.steps;
  for (auto slash = steps.rfind('/'); slash != std::string_view::npos; slash = steps.rfind('/')) {
    if (node == top || !NameIs(node, steps.substr(slash + 1))) return false;
    steps = steps.substr(0, slash);
    node = node->parent;
  }
  if (!NameIs(node, steps)) return false;
  return path.anywhere || node == top;
}

template <typename Visit>
bool WalkElements(xmlNode* node, Visit& visit) {
  for (xmlNode* child = node; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (visit(child)) return true;
    if (WalkElements(child->children, visit)) return true;
  }
  return false;
}

// The first element of the subtree of `top`, `top` included, in document order, for which
// `visit` says yes.
template <typename Visit>
bool WalkSubtree(xmlNode* top, Visit& visit) {
  return visit(top) || WalkElements(top->children, visit);
}

xmlNode* FirstTextChild(xmlNode* element) {
  for (xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) return child;
  }
  return nullptr;
}

}  // namespace

namespace {

// For attribute and text targets, the first element of the chain that has one.
xmlNode* SelectInSubtree(xmlNode* top, const Path& path) {
  xmlNode* found = nullptr;
  auto visit = [&](xmlNode* element) {
    if (!EndsChain(element, path, top)) return false;
    switch (path.target) {
      case Target::Element:
        found = element;
        break;
      case Target::Text:
        found = FirstTextChild(element);
        break;
      case Target::Attribute:
        found = reinterpret_cast<xmlNode*>(
            xmlHasProp(element, Xc(std::string(path.attribute).c_str())));
        break;
    }
    return found != nullptr;
  };
  WalkSubtree(top, visit);
  return found;
}

xmlNode* RequireElement(xmlNode* node, std::string_view path) {
  if (node != nullptr && node->type != XML_ELEMENT_NODE) {
    throw Error("la ruta \"" + std::string(path) + "\" no selecciona un elemento");
  }
  return node;
}

}  // namespace

xmlNode* SelectFirst(xmlDoc* doc, std::string_view text) {
  const Path path = ParsePath(text);
  if (doc == nullptr || xmlDocGetRootElement(doc) == nullptr) return nullptr;
  return SelectInSubtree(xmlDocGetRootElement(doc), path);
}

xmlNode* SelectFirstElement(xmlDoc* doc, std::string_view path) {
  return RequireElement(SelectFirst(doc, path), path);
}

xmlNode* SelectFirstIn(const xmlNode* element, std::string_view text) {
  const Path path = ParsePath(text);
  if (element == nullptr) return nullptr;
  return SelectInSubtree(const_cast<xmlNode*>(element), path);
}

xmlNode* SelectFirstElementIn(const xmlNode* element, std::string_view path) {
  return RequireElement(SelectFirstIn(element, path), path);
}

std::string TextOfFirstIn(const xmlNode* element, std::string_view path) {
  const xmlNode* found = SelectFirstElementIn(element, path);
  return found == nullptr ? std::string() : NodeText(found);
}

std::vector<xmlNode*> ElementsNamed(xmlDoc* doc, std::string_view name) {
  std::vector<xmlNode*> found;
  if (doc == nullptr) return found;
  auto visit = [&](xmlNode* element) {
    if (NameIs(element, name)) found.push_back(element);
    return false;
  };
  WalkElements(xmlDocGetRootElement(doc), visit);
  return found;
}

std::string WrittenName(const xmlNode* element) {
  std::string name;
  if (element->ns != nullptr && element->ns->prefix != nullptr) {
    name.append(View(element->ns->prefix)).push_back(':');
  }
  return name.append(View(element->name));
}

namespace {

// Declares on `copy` every namespace in scope at `original` that the copy does not declare yet.
void DeclareNamespacesInScope(const xmlNode* original, xmlNode* copy) {
  std::unique_ptr<xmlNs*, XmlFreeAny> list(
      xmlGetNsList(original->doc, const_cast<xmlNode*>(original)));
  if (!list) return;
  for (xmlNs** ns = list.get(); *ns != nullptr; ++ns) {
    bool declared = false;
    for (xmlNs* own = copy->nsDef; own != nullptr; own = own->next) {
      if (View(own->prefix) == View((*ns)->prefix)) declared = true;
    }
    if (!declared) xmlNewNs(copy, (*ns)->href, (*ns)->prefix);
  }
}

}  // namespace

std::string OuterXml(const xmlNode* element) {
  XmlDocPtr scratch(xmlNewDoc(Xc("1.0")));
  if (!scratch) throw Error("sin memoria para copiar el elemento XML");
  xmlNode* copy = xmlDocCopyNode(const_cast<xmlNode*>(element), scratch.get(), 1);
  if (copy == nullptr) throw Error("sin memoria para copiar el elemento XML");
  xmlDocSetRootElement(scratch.get(), copy);
  DeclareNamespacesInScope(element, copy);
  return NodeXml(copy);
}

}  // namespace QuarloCliente::detail
