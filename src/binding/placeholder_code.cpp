#include <quarlo/binding_dte.hpp>

#include "binding/node.hpp"

namespace QuarloCliente {

// Defined here rather than in the header, so that the public template reaches nothing internal:
// only the value bypasses the type check, which takes the node.
template <class Forma>
TedDA<Forma>& TedDA<Forma>::SetTDPlaceholder() {
  // Element puts a missing TD at its schema place.
  Element("TD");
  for (const auto& child : Node()->children) {
    if (child->name == "TD") {
      child->text = "0";
      break;
    }
  }
  return *this;
}

// Every form's stamp can carry the placeholder code.
template TedDA<FormaDocumento>& TedDA<FormaDocumento>::SetTDPlaceholder();
template TedDA<FormaLiquidacion>& TedDA<FormaLiquidacion>::SetTDPlaceholder();
template TedDA<FormaExportaciones>& TedDA<FormaExportaciones>::SetTDPlaceholder();
template TedDA<FormaBoleta>& TedDA<FormaBoleta>::SetTDPlaceholder();

}  // namespace QuarloCliente
