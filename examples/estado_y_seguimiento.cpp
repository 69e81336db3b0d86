// Reads a document's fiscal status and its processing history.
// Usage: estado_y_seguimiento RUT TIPO FOLIO
#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>

#include "entorno.hpp"
using namespace QuarloCliente;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "Uso: estado_y_seguimiento RUT TIPO FOLIO\n";
    return EXIT_FAILURE;
  }
  const std::string rut = argv[1], tipo = argv[2], folio = argv[3];
  Servicio servicio;
  if (!ConfigurarDesdeEntorno(servicio)) return 2;
  const auto ambiente = servicio.Ambiente_Homologacion;

  const auto estado = servicio.EstadoFiscal(ambiente, servicio.Grupo_Emitido, rut, tipo, folio);
  if (estado->ResultadoServicio->Estado != "0") {
    std::cerr << estado->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  std::cout << "Estado fiscal: " << estado->Estado << " (seguimiento " << estado->IdSeguimiento
            << ")\n";

  const auto trazas = servicio.ObtenerTracking(ambiente, servicio.Grupo_Emitido, rut, tipo, folio);
  if (trazas->ResultadoServicio->Estado != "0") {
    std::cerr << trazas->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  try {
    for (const auto& paso : trazas->getResumen()->getEstadoTrackArray()) {
      std::cout << "  " << paso->timeStampField << "  " << paso->estadoField << "  "
                << paso->comentarioField << '\n';
    }
  } catch (const Error& e) {
    std::cerr << "Seguimiento ilegible: " << e.what() << '\n';
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
