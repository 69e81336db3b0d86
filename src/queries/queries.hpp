#pragma once

#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// The prefix under which the retrievals, the tracking and the confirmation report a failure.
inline constexpr std::string_view kErrorConsultando = "Error consultando servicio: ";

// The document type under which the service keeps the daily Consumo de Folios.
inline constexpr std::string_view kTipoConsumoFolios = "100";

// True when a Data payload says the service holds nothing: "?" or empty.
inline bool IsMissingPayload(std::string_view data) {
  return data.empty() || data == "?";
}

// The document's address as the not-found messages write it:
// "Ambiente:T, Grupo:E, RUT:r, Tipo:33, Folio:15." (no blank after any colon).
inline std::string DocumentAddress(std::string_view ambiente, std::string_view grupo,
                                   std::string_view rut, std::string_view tipoDocumento,
                                   std::string_view folio) {
  std::string address = "Ambiente:";
  address.append(ambiente).append(", Grupo:").append(grupo).append(", RUT:").append(rut);
  address.append(", Tipo:").append(tipoDocumento).append(", Folio:").append(folio).append(".");
  return address;
}

}  // namespace QuarloCliente::detail
