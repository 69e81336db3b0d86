// Sends a month's Libro de Ventas read from an XML file and reads back its fiscal status.
// Usage: libro_ventas libro.xml RUT AAAA-MM
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <quarlo/quarlo.hpp>
#include <sstream>

#include "entorno.hpp"
using namespace QuarloCliente;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "Uso: libro_ventas libro.xml RUT AAAA-MM\n";
    return EXIT_FAILURE;
  }
  Servicio servicio;
  if (!ConfigurarDesdeEntorno(servicio)) return 2;
  std::ifstream archivo(argv[1], std::ios::binary);
  std::stringstream texto;
  texto << archivo.rdbuf();
  auto libro = std::make_shared<LibroCompraVentaBinding>();
  try {
    libro->Load(texto.str(), DefaultBindingContext());
  } catch (const Error& e) {
    std::cerr << "El libro no es válido: " << e.what() << '\n';
    return EXIT_FAILURE;
  }
  const std::string rut = argv[2], periodo = argv[3];
  const auto envio = servicio.EnviarLibroCompraVenta(
      libro, servicio.Ambiente_Homologacion, "2014-08-22", 80, rut, periodo,
      servicio.TipoOperacion_Venta, servicio.TipoLibro_Mensual, servicio.TipoEnvio_Total, 0);
  if (envio->ResultadoServicio->Estado != "0") {
    std::cerr << "Libro rechazado: " << envio->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  // The service keeps a sales book under the type VENTA and the period's code.
  const auto estado =
      servicio.EstadoFiscalLibro(rut, servicio.TipoOperacion_Venta, servicio.Ambiente_Homologacion,
                                 servicio.TipoLibro_Mensual, BindingDateTime::Parse(periodo));
  if (estado->ResultadoServicio->Estado != "0") {
    std::cerr << estado->ResultadoServicio->Descripcion << '\n';
    return EXIT_FAILURE;
  }
  std::cout << "Libro de Ventas " << periodo << " enviado; estado: " << estado->Estado << '\n';
  return EXIT_SUCCESS;
}
