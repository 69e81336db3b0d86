#pragma once

#include <libxml/tree.h>

#include <memory>
#include <quarlo/binding_context.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

#include "core/xml.hpp"

namespace QuarloSandbox {

// The first child element with that local name, or nullptr.
xmlNode* ChildElement(const xmlNode* parent, std::string_view name);
// The element at a path of local names below `from` ("Encabezado/IdDoc/Folio"), or nullptr.
xmlNode* ElementAt(const xmlNode* from, std::string_view path);
// The text of the element at the path, "" when there is none.
std::string TextAt(const xmlNode* from, std::string_view path);
// Replaces the text of an element.
void SetText(xmlNode* element, std::string_view text);

// Puts every element of the subtree that has no namespace into the SII namespace, declared on
// `root` as its default namespace: the service's copy of a document the library sent without it.
void AdoptSiiNamespace(xmlNode* root);

// The document held in a request value's bytes, read with the encoding its declaration names;
// SandboxError(400, ...) naming the field when it is not XML.
QuarloCliente::detail::XmlDocPtr ParseDocumentBytes(const QuarloCliente::Bytes& bytes,
                                                    std::string_view field);

// A binding context with every loading switch off: a document loaded through it must follow its
// SII schema in names, order and values.
const std::shared_ptr<QuarloCliente::BindingContext>& StrictBindingContext();

// The element written on its own as UTF-8 text, with the namespace declarations it needs.
std::string ElementXml(const xmlNode* element);

}  // namespace QuarloSandbox
