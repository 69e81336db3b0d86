#pragma once

#include <libxml/tree.h>

#include <quarlo/binding_context.hpp>
#include <quarlo/binding_element.hpp>

namespace QuarloCliente::detail {

// Loads a parsed element as the document's new content under the options, as Load does with
// text: for a caller that already holds the parsed tree and would otherwise write it out only to
// have it parsed again. `kind` is the document's own root kind. Throws Error as Load does.
void LoadDocumentElement(BindingDocument& document, BindingRootKind kind, const xmlNode* element,
                         const BindingOptions& options);

}  // namespace QuarloCliente::detail
