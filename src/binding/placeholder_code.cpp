#include <quarlo/binding_dte.hpp>

#include "binding/node.hpp"

namespace QuarloCliente::detail {

void WritePlaceholderTipoDTE(const std::shared_ptr<BindingNode>& da) {
  // Element puts a missing TD at its schema place; only the value bypasses the type check.
  BindingElement(da).Element("TD");
  for (const auto& child : da->children) {
    if (child->name == "TD") {
      child->text = "0";
      return;
    }
  }
}

}  // namespace QuarloCliente::detail
