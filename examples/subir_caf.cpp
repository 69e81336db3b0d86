// Uploads a CAF file (the folio authorisation the SII grants) to the service.
// Usage: subir_caf caf.xml
#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>

#include "entorno.hpp"
using namespace QuarloCliente;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "Uso: subir_caf caf.xml\n";
    return EXIT_FAILURE;
  }
  Servicio servicio;
  if (!ConfigurarDesdeEntorno(servicio)) return 2;
  const auto r = servicio.EnviarCAF(servicio.Ambiente_Homologacion, argv[1]);
  if (r->Estado != "0") {
    std::cerr << r->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  std::cout << "CAF " << argv[1] << " cargado\n";
  return EXIT_SUCCESS;
}
