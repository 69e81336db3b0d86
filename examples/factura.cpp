// Submits a factura built in code, numbered by the service, and saves its PDF417 barcode.
// Usage: factura [barcode.png]   (QUARLO_URI and QUARLO_API_KEY name the service)
#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>

#include "entorno.hpp"
using namespace QuarloCliente;

std::shared_ptr<DteDocumentBinding> NuevaFactura() {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  auto enc = doc->Encabezado();
  enc->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica).SetFolio(1);
  enc->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  enc->Emisor()->SetRUTEmisor("76543210-3").Set("RznSoc", "Comercializadora Ñuñoa Ltda.");
  enc->Emisor()->Set("GiroEmis", "Ferretería").Set("Acteco", 466301);
  enc->Emisor()->Set("DirOrigen", "Av. Irarrázaval 3456").Set("CmnaOrigen", "Ñuñoa");
  enc->Receptor()->SetRUTRecep("77214903-4").SetRznSocRecep("Constructora Los Peñascos SpA");
  enc->Receptor()->Set("GiroRecep", "Construcción").Set("DirRecep", "Av. José Arrieta 8120");
  enc->Receptor()->Set("CmnaRecep", "Peñalolén");
  enc->Totales()->Set("MntNeto", 130000).Set("TasaIVA", "19").Set("IVA", 24700);
  enc->Totales()->SetMntTotal(154700);
  auto cemento = doc->AgregarDetalle();
  cemento->SetNroLinDet(1).SetNmbItem("Cemento 25 kg").Set("QtyItem", 20);
  cemento->Set("PrcItem", 5000).Set("MontoItem", 100000);
  auto arena = doc->AgregarDetalle();
  arena->SetNroLinDet(2).SetNmbItem("Arena gruesa m³").Set("QtyItem", 2);
  arena->Set("PrcItem", 15000).Set("MontoItem", 30000);
  return dte;
}

int main(int argc, char** argv) {
  Servicio servicio;
  if (!ConfigurarDesdeEntorno(servicio)) return 2;
  const auto r =
      servicio.EnviarDocumentoDTE_AutoFoliado(NuevaFactura(), servicio.Ambiente_Homologacion,
                                              "2014-08-22", 80, servicio.TipoPDF417_Grafico, true);
  if (r->ResultadoServicio->Estado != "0") {
    std::cerr << "Factura rechazada: " << r->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  const std::string folio = servicio.NodeValue(XmlDocument::Parse(r->TED), "//DD/F");
  const std::string png = argc > 1 ? argv[1] : "factura_pdf417.png";
  if (!servicio.EscribirFichero(png, r->GetPdf417ComoBytes())) {
    std::cerr << "No se pudo escribir " << png << '\n';
    return EXIT_FAILURE;
  }
  std::cout << "Factura folio " << folio << " timbrada; código PDF417 en " << png << '\n';
  return EXIT_SUCCESS;
}
