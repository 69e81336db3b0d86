// Submits a boleta read from an XML file (the DTE element of an EnvioBOLETA), numbered by the
// service. Usage: boleta_desde_xml boleta.xml
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <quarlo/quarlo.hpp>
#include <sstream>

#include "entorno.hpp"
using namespace QuarloCliente;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "Uso: boleta_desde_xml boleta.xml\n";
    return EXIT_FAILURE;
  }
  std::ifstream archivo(argv[1], std::ios::binary);
  std::stringstream texto;
  texto << archivo.rdbuf();
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  try {
    boleta->Load(texto.str(), DefaultBindingContext());
  } catch (const Error& e) {
    std::cerr << "La boleta no es válida: " << e.what() << '\n';
    return EXIT_FAILURE;
  }
  Servicio servicio;
  if (!ConfigurarDesdeEntorno(servicio)) return 2;
  const auto r = servicio.EnviarDocumentoBoleta_AutoFoliado(
      boleta, servicio.Ambiente_Homologacion, "2014-08-22", 80, servicio.TipoPDF417_Fuente, true);
  if (r->ResultadoServicio->Estado != "0") {
    std::cerr << "Boleta rechazada: " << r->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  const XmlDocument ted = XmlDocument::Parse(r->TED);
  std::cout << "Boleta folio " << servicio.NodeValue(ted, "//DD/F") << " por $"
            << servicio.NodeValue(ted, "//DD/MNT") << " timbrada\n";
  return EXIT_SUCCESS;
}
