// What an application built against the installed packages does first: check that the library
// it loaded is the one it was built for, upload a CAF and have a boleta stamped by the service.
// Usage: consumidor caf.xml boleta.xml   (the service from QUARLO_URI and QUARLO_API_KEY)
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <quarlo/quarlo.hpp>
#include <sstream>
#include <string>

using namespace QuarloCliente;

namespace {

std::string Leer(const char* ruta) {
  std::ifstream archivo(ruta, std::ios::binary);
  std::stringstream texto;
  texto << archivo.rdbuf();
  return texto.str();
}

int Fallar(const std::string& que) {
  std::cerr << "consumidor: " << que << '\n';
  return EXIT_FAILURE;
}

// An exception thrown inside libquarlo.so is caught here by its type only when the library
// exports the type's identity; a hidden one would end the program instead.
bool ErrorCruzaLaBiblioteca() {
  try {
    BoletaDocumentBinding().Load("<no es xml", DefaultBindingContext());
  } catch (const Error&) {
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const char* uri = std::getenv("QUARLO_URI");
  const char* llave = std::getenv("QUARLO_API_KEY");
  if (argc != 3 || !uri || !llave) return Fallar("uso: consumidor caf.xml boleta.xml");
  if (VersionBiblioteca() != QUARLO_VERSION) {
    return Fallar("compilado para " + std::string(QUARLO_VERSION) + ", cargó " +
                  VersionBiblioteca());
  }
  if (!ErrorCruzaLaBiblioteca()) return Fallar("un Error de la biblioteca no se pudo capturar");
  Servicio servicio;
  servicio.Configurar(uri, llave);
  const auto caf = servicio.EnviarCAF(servicio.Ambiente_Homologacion, argv[1]);
  if (caf->Estado != "0") return Fallar("CAF rechazado: " + caf->Descripcion);

  auto boleta = std::make_shared<BoletaDocumentBinding>();
  try {
    boleta->Load(Leer(argv[2]), DefaultBindingContext());
  } catch (const Error& e) {
    return Fallar(std::string("la boleta no es válida: ") + e.what());
  }
  const auto r = servicio.EnviarDocumentoBoleta_AutoFoliado(
      boleta, servicio.Ambiente_Homologacion, "2014-08-22", 80, servicio.TipoPDF417_Grafico, true);
  if (r->ResultadoServicio->Estado != "0") {
    return Fallar("boleta rechazada: " + r->ResultadoServicio->Descripcion);
  }
  const XmlDocument ted = XmlDocument::Parse(r->TED);
  std::cout << "consumidor: boleta folio " << servicio.NodeValue(ted, "//DD/F")
            << " timbrada con libquarlo " << VersionBiblioteca() << '\n';
  return EXIT_SUCCESS;
}
