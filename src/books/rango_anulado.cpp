#include <quarlo/libros.hpp>

#include "core/request_body.hpp"

namespace QuarloCliente {

void RangoAnulado::Create(Integer tipo, Long FolioI, Long FolioF) {
  tipoDocumento = tipo;
  FolioInicial = FolioI;
  FolioFinal = FolioF;
}

std::string RangoAnulado::GetString(Integer Index) const {
  return detail::Decimal(Index) + "-" + detail::Decimal(tipoDocumento) + "-" +
         detail::Decimal(FolioInicial) + "-" + detail::Decimal(FolioFinal);
}

}  // namespace QuarloCliente
