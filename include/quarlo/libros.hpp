#pragma once

#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <vector>

namespace QuarloCliente {

/// One range of voided folios for the service-generated Consumo de Folios.
class QUARLO_API RangoAnulado {
 public:
  Integer tipoDocumento = 0;
  /// Folios are 32-bit: a busy shop passes folio 32767 within months.
  Long FolioInicial = 0;
  Long FolioFinal = 0;

  /// Sets tipoDocumento, FolioInicial and FolioFinal, in that order, without any check.
  void Create(Integer tipo, Long FolioI, Long FolioF);
  /// "Index-tipoDocumento-FolioInicial-FolioFinal" in plain decimal, e.g. "1-33-100-150".
  std::string GetString(Integer Index) const;
};

/// An ordered collection of voided ranges, shared between the caller and the library.
using ColeccionRangosAnulados = std::vector<std::shared_ptr<RangoAnulado>>;

}  // namespace QuarloCliente
