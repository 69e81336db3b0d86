// Fills a sandbox the way an application would, for the console's browser test: uploads a CAF of
// facturas and one of boletas, then submits three boletas and two facturas, one of them to a
// receiver whose name holds a script element, which the console must show as text.
// Usage: quarlo_console_seed URI API_KEY DATA_DIR CAF_33 CAF_39

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <quarlo/quarlo.hpp>
#include <sstream>
#include <string>

using namespace QuarloCliente;

namespace {

constexpr const char* kAmbiente = "T";
constexpr const char* kScriptName = "<script>alert('consola')</script> Comercial SpA";

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Stops the program with the step's description when the sandbox refused it.
void Require(const std::shared_ptr<ResultadoServicio>& result, const std::string& step) {
  if (result->Estado == "0") return;
  std::cerr << step << " falló: " << result->Descripcion << '\n';
  std::exit(1);
}

void SendFactura(Servicio& servicio, const std::string& xml, const std::string& receptor) {
  auto factura = std::make_shared<DteDocumentBinding>();
  factura->Load(xml, DefaultBindingContext());
  factura->Documento()->Encabezado()->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  if (!receptor.empty()) factura->Documento()->Encabezado()->Receptor()->SetRznSocRecep(receptor);
  const auto sent = servicio.EnviarDocumentoDTE_AutoFoliado(factura, kAmbiente, "2014-08-22", 80,
                                                            servicio.TipoPDF417_Grafico, true);
  Require(sent->ResultadoServicio, "la factura");
}

void SendBoleta(Servicio& servicio, const std::string& xml) {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  boleta->Load(xml, DefaultBindingContext());
  boleta->Documento()->Encabezado()->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  const auto sent = servicio.EnviarDocumentoBoleta_AutoFoliado(boleta, kAmbiente, "2014-08-22", 80,
                                                               servicio.TipoPDF417_Grafico, true);
  Require(sent->ResultadoServicio, "la boleta");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "Uso: quarlo_console_seed URI LLAVE DIRECTORIO_DATOS CAF_33 CAF_39\n";
    return 2;
  }
  const std::string data = argv[3];
  Servicio servicio;
  servicio.Configurar(argv[1], argv[2]);
  Require(servicio.EnviarCAF(kAmbiente, argv[4]), "el CAF de facturas");
  Require(servicio.EnviarCAF(kAmbiente, argv[5]), "el CAF de boletas");
  const std::string boleta = ReadText(data + "/boleta_39.xml");
  for (int i = 0; i < 3; ++i) SendBoleta(servicio, boleta);
  const std::string factura = ReadText(data + "/factura_33.xml");
  SendFactura(servicio, factura, "");
  SendFactura(servicio, factura, kScriptName);
  // One status query moves the last factura's tracking a step, for the timeline.
  Require(servicio.EstadoFiscal(kAmbiente, Variant(std::string("E")), "76543210-3", "33", "2")
              ->ResultadoServicio,
          "la consulta de estado");
  std::cout << "5 documentos enviados\n";
  return 0;
}
