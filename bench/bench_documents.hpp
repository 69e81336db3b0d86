#pragma once

#include <memory>
#include <quarlo/binding.hpp>
#include <string>

namespace QuarloCliente::bench {

// Factura 1523 of the test issuer with `lines` detail lines of Spanish text and totals that add
// up (60 lines is the most a DTE may hold); its issuer, type and folio fit the test CAF of
// facturas 1501-1600.
inline std::shared_ptr<DteDocumentBinding> Factura(int lines) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  doc->SetID("F33T1523");
  auto enc = doc->Encabezado();
  enc->IdDoc()
      ->SetTipoDTE(TipoDTEDocumento::FacturaElectronica)
      .SetFolio(1523)
      .SetFchEmis(BindingDateTime::FromDate(2024, 5, 2));
  enc->Emisor()
      ->SetRUTEmisor("76543210-3")
      .Set("RznSoc", "Comercializadora Ñuñoa Ltda.")
      .Set("GiroEmis", "Venta al por mayor de materiales de construcción")
      .Set("Acteco", 466301)
      .Set("DirOrigen", "Av. Irarrázaval 3456")
      .Set("CmnaOrigen", "Ñuñoa");
  enc->Receptor()->SetRUTRecep("77214903-4").SetRznSocRecep("Constructora Los Peñascos SpA");
  enc->Receptor()->Set("GiroRecep", "Construcción").Set("DirRecep", "Av. José Arrieta 8120");
  for (int line = 1; line <= lines; ++line) {
    auto detalle = doc->AgregarDetalle();
    detalle->SetNroLinDet(line).SetNmbItem("Fierro estriado A630 12 mm × 6 m, línea " +
                                           std::to_string(line));
    detalle->Set("QtyItem", 20).Set("PrcItem", 7350).Set("MontoItem", 147000);
  }
  const std::int64_t neto = 147000LL * lines;
  const std::int64_t iva = 27930LL * lines;  // 19% of each line's 147,000, exact
  enc->Totales()->Set("MntNeto", neto).Set("TasaIVA", "19").Set("IVA", iva);
  enc->Totales()->SetMntTotal(neto + iva);
  return dte;
}

}  // namespace QuarloCliente::bench
