#pragma once

#include <string>

namespace QuarloCliente::detail {

// Removes from the text, in place, what Servicio::CleanBindingXml removes (with keepNamespace,
// what CleanBindingXmlKeepNamespace removes), in the same order.
void CleanBindingText(std::string& text, bool keepNamespace);

}  // namespace QuarloCliente::detail
