#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>
using namespace QuarloCliente;
int main() {  // Quick start: a boleta numbered by the service, and its stamped TED.
  Servicio servicio;
  servicio.Configurar(std::getenv("QUARLO_URI"), std::getenv("QUARLO_API_KEY"));
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  auto doc = boleta->Documento();
  auto enc = doc->Encabezado();
  enc->IdDoc()->SetTipoDTE(TipoDTEBoleta::Boleta).SetFolio(1).SetIndServicio(3);
  enc->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  enc->Emisor()->SetRUTEmisor("76543210-3").Set("RznSocEmisor", "Panadería Ñuble SpA");
  enc->Set("Receptor/RUTRecep", "66666666-6").Set("Totales/MntTotal", 2380);
  doc->AgregarDetalle()->SetNroLinDet(1).SetNmbItem("Marraqueta").Set("MontoItem", 2380);
  auto r = servicio.EnviarDocumentoBoleta_AutoFoliado(boleta, "T", "2014-08-22", 80, 2, true);
  const bool ok = r->ResultadoServicio->Estado == "0";
  std::cout << (ok ? r->TED : r->ResultadoServicio->Descripcion) << '\n';
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
