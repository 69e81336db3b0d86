#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>
using namespace QuarloCliente;
int main() {  // Quick start: a boleta numbered by the service, and its stamped TED.
  const char *uri = std::getenv("QUARLO_URI"), *llave = std::getenv("QUARLO_API_KEY");
  if (!uri || !llave) return std::cerr << "Defina QUARLO_URI y QUARLO_API_KEY\n", 2;
  Servicio servicio;
  servicio.Configurar(uri, llave);
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  auto enc = boleta->Documento()->Encabezado();
  enc->IdDoc()->SetTipoDTE(TipoDTEBoleta::Boleta).SetFolio(1).SetIndServicio(3);
  enc->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  enc->Emisor()->SetRUTEmisor("76543210-3").Set("RznSocEmisor", "Panadería Ñuble SpA");
  enc->Set("Receptor/RUTRecep", "66666666-6").Set("Totales/MntTotal", 2380);
  boleta->Documento()->AgregarDetalle()->SetNroLinDet(1).SetNmbItem("Pan").Set("MontoItem", 2380);
  auto r = servicio.EnviarDocumentoBoleta_AutoFoliado(boleta, "T", "2014-08-22", 80, 2, true);
  if (auto& e = *r->ResultadoServicio; e.Estado != "0") return std::cerr << e.Descripcion + '\n', 1;
  std::cout << r->TED << '\n';
}
