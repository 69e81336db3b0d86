// A point of sale with no network: issues and stamps a boleta into its outbox, prints its
// barcode, and delivers what is queued once the service can be reached.
// Usage: sin_conexion bandeja.db caf39.xml [boleta.png]
// (QUARLO_URI and QUARLO_API_KEY name the service; without them the boleta stays queued)
#include <cstdlib>
#include <iostream>
#include <quarlo/quarlo.hpp>
using namespace QuarloCliente;

const std::string kRut = "76543210-3";

// A boleta with no folio and no date: the outbox gives it the next folio of its CAF and today.
std::shared_ptr<BoletaDocumentBinding> NuevaBoleta() {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  auto enc = boleta->Documento()->Encabezado();
  enc->IdDoc()->SetTipoDTE(TipoDTEBoleta::Boleta).SetIndServicio(3);
  enc->Emisor()->SetRUTEmisor(kRut).Set("RznSocEmisor", "Panadería y Amasandería Peñalolén SpA");
  enc->Receptor()->SetRUTRecep("66666666-6");
  enc->Totales()->SetMntTotal(2380);
  auto pan = boleta->Documento()->AgregarDetalle();
  pan->SetNroLinDet(1).SetNmbItem("Marraqueta 1 kg").Set("QtyItem", 1).Set("PrcItem", 2380);
  pan->Set("MontoItem", 2380);
  return boleta;
}

// Delivers what is due; the exit status: 0 when nothing is left pending or refused.
int Enviar(BandejaSalida& bandeja, const char* uri, const char* llave) {
  Servicio servicio;
  servicio.Configurar(uri, llave);
  const ResumenEnvio r = bandeja.Enviar(servicio);
  std::cout << "Enviados: " << r.aceptados << " aceptados, " << r.rechazados << " rechazados, "
            << r.pendientes << " pendientes\n";
  for (const ItemBandeja& item : bandeja.Items(EstadoItem::Rechazado)) {
    std::cerr << "Folio " << item.folio << " rechazado: " << item.motivo << '\n';
  }
  const ConteoItems conteo = bandeja.Conteo();
  // What stays pending is retried by the next drain (or by IniciarEnvio's background sender).
  if (conteo.pendientes > 0) std::cerr << "Quedan " << conteo.pendientes << " por enviar\n";
  return conteo.pendientes == 0 && conteo.rechazados == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "Uso: sin_conexion bandeja.db caf39.xml [boleta.png]\n";
    return EXIT_FAILURE;
  }
  try {
    BandejaSalida bandeja(argv[1]);
    bandeja.Configurar("T", "2014-08-22", 80);
    // The CAF is kept in the outbox once; its upload is queued before the boletas it numbers.
    if (bandeja.FoliosRestantes(kRut, 39) == 0) bandeja.RegistrarCaf(std::string(argv[2]));
    const EmisionLocal e = bandeja.EmitirBoleta(NuevaBoleta());
    if (!e.aviso.empty()) std::cerr << e.aviso << '\n';
    const std::string png = argc > 3 ? argv[3] : "boleta_pdf417.png";
    Servicio local;
    if (!local.EscribirFichero(png, e.pdf417Png)) {
      std::cerr << "No se pudo escribir " << png << '\n';
      return EXIT_FAILURE;
    }
    std::cout << "Boleta folio " << e.folio << " timbrada sin conexión; timbre en " << png << '\n';

    for (const char* variable : {"QUARLO_URI", "QUARLO_API_KEY"}) {
      const char* valor = std::getenv(variable);
      if (valor == nullptr || *valor == '\0') {
        std::cerr << "Falta la variable de entorno " << variable
                  << ": la boleta queda en la bandeja para el próximo envío\n";
        return 2;
      }
    }
    return Enviar(bandeja, std::getenv("QUARLO_URI"), std::getenv("QUARLO_API_KEY"));
  } catch (const Error& e) {
    std::cerr << "Bandeja: " << e.what() << '\n';
    return EXIT_FAILURE;
  }
}
