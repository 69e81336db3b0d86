// Downloads the printable PDF of a document the service holds.
// Usage: descargar_pdf RUT TIPO FOLIO archivo.pdf
#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>

#include "entorno.hpp"
using namespace QuarloCliente;

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "Uso: descargar_pdf RUT TIPO FOLIO archivo.pdf\n";
    return EXIT_FAILURE;
  }
  Servicio servicio;
  if (!ConfigurarDesdeEntorno(servicio)) return 2;
  const auto pdf = servicio.RecuperarPDF(servicio.Ambiente_Homologacion, servicio.Grupo_Emitido,
                                         argv[1], argv[2], argv[3]);
  if (pdf->ResultadoServicio->Estado != "0") {
    std::cerr << pdf->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  const Bytes bytes = pdf->GetDatosComoBytes();
  if (!servicio.EscribirFichero(argv[4], bytes)) {
    std::cerr << "No se pudo escribir " << argv[4] << '\n';
    return EXIT_FAILURE;
  }
  std::cout << "PDF de " << bytes.size() << " bytes guardado en " << argv[4] << '\n';
  return EXIT_SUCCESS;
}
