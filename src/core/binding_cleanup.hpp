#pragma once

#include <string>

namespace QuarloCliente::detail {

// Removes from the text, in place, what CleanBindingXml removes (with keepNamespace, what
// CleanBindingXmlKeepNamespace removes), in the same order.
void CleanBindingText(std::string& text, bool keepNamespace);

// The serialised binding text without the "ABCXYZ" prefix markers, the SII default-namespace
// declaration where other attributes follow it, and the binding's banner comments.
std::string CleanBindingXml(const std::string& xml);
// The same, keeping every SII default-namespace declaration.
std::string CleanBindingXmlKeepNamespace(const std::string& xml);

}  // namespace QuarloCliente::detail
