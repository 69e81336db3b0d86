#pragma once

#include <libxml/tree.h>

#include <string>
#include <string_view>
#include <vector>

namespace QuarloCliente::detail {

// The selection rule every lookup of the library follows. A path is "//a/b/c" (the steps may
// start at any element) or "/a/b/c" (the first step is the root element); the last step may be
// "@name" (an attribute) or "text()". Steps match element names as written in the document,
// prefix included, whatever namespace they belong to: "Result" matches <Result xmlns="..."> but
// not <s:Result>. The first match in document order wins. A path that does not follow this
// grammar throws Error.
xmlNode* SelectFirst(xmlDoc* doc, std::string_view path);

// The same selection, required to be an element: throws Error when the path selects an
// attribute or a text node; nullptr when nothing is selected.
xmlNode* SelectFirstElement(xmlDoc* doc, std::string_view path);

// The same selection over the subtree of one element, read as if the element were the root of a
// document of its own: "//a" finds the element or an element below it, "/a" only the element.
// nullptr for a null element or no match.
xmlNode* SelectFirstIn(const xmlNode* element, std::string_view path);

// SelectFirstIn, required to be an element as SelectFirstElement requires it.
xmlNode* SelectFirstElementIn(const xmlNode* element, std::string_view path);

// The text of the first element SelectFirstElementIn finds, or "" when it finds none.
std::string TextOfFirstIn(const xmlNode* element, std::string_view path);

// Every element whose written name is `name`, in document order.
std::vector<xmlNode*> ElementsNamed(xmlDoc* doc, std::string_view name);

// The element's name as written in the document ("ds:Signature" or "Result").
std::string WrittenName(const xmlNode* element);

// The element's serialised XML, carrying every namespace declaration in scope so that it parses
// on its own as the same element.
std::string OuterXml(const xmlNode* element);

}  // namespace QuarloCliente::detail
