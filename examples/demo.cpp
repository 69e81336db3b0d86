// A business day with QuarloCliente, against quarlo-sandbox: folio authorisations, a factura
// and a boleta stamped by the service, the stamp checked, barcode and PDF saved, status and
// tracking, a commercial acceptance, the daily folio report and the sales book, a search and a
// void. Exits 0 only when every step did what it should.
//
// Run through scripts/demo.sh, which starts the sandbox and sets QUARLO_URI, QUARLO_API_KEY,
// QUARLO_SANDBOX, QUARLO_AUTHORITY_KEY; files go to QUARLO_DEMO_DIR (default: the current folder).
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <quarlo/quarlo.hpp>
#include <sstream>
#include <string>

using namespace QuarloCliente;
namespace fs = std::filesystem;

namespace {

const std::string kEmisor = "76543210-3";
const std::string kReceptor = "77214903-4";

std::string Env(const char* name, const char* fallback = "") {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

// A step that failed: what was expected and what came.
struct Fallo {
  std::string motivo;
};

void Exigir(const std::shared_ptr<ResultadoServicio>& r, const std::string& paso) {
  if (r->Estado != "0") throw Fallo{paso + ": " + r->Descripcion};
}

std::string LeerArchivo(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text as ISO-8859-1 bytes, the form in which the stamp's DD block is signed.
Bytes Latin1(const std::string& utf8) {
  Bytes out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<std::uint8_t>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
    }
  }
  return out;
}

// Whether the TED's FRMT is the RSA-SHA1 signature of its DD block by the CAF's key (RSAPK).
bool TimbreValido(Servicio& servicio, const std::string& ted) {
  const auto desde = ted.find("<DD>");
  const auto hasta = ted.find("</DD>");
  if (desde == std::string::npos || hasta == std::string::npos) return false;
  const Bytes dd = Latin1(ted.substr(desde, hasta + 5 - desde));
  const XmlDocument doc = XmlDocument::Parse(ted);
  const Bytes m = servicio.DecodeBase64(servicio.NodeValue(doc, "//RSAPK/M"));
  const Bytes e = servicio.DecodeBase64(servicio.NodeValue(doc, "//RSAPK/E"));
  const Bytes firma = servicio.DecodeBase64(servicio.NodeValue(doc, "//FRMT"));

  std::unique_ptr<BIGNUM, decltype(&BN_free)> n(BN_bin2bn(m.data(), int(m.size()), nullptr),
                                                BN_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> x(BN_bin2bn(e.data(), int(e.size()), nullptr),
                                                BN_free);
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> bld(OSSL_PARAM_BLD_new(),
                                                                      OSSL_PARAM_BLD_free);
  OSSL_PARAM_BLD_push_BN(bld.get(), "n", n.get());
  OSSL_PARAM_BLD_push_BN(bld.get(), "e", x.get());
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(bld.get()),
                                                                 OSSL_PARAM_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), EVP_PKEY_CTX_free);
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
    return false;
  }
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> clave(raw, EVP_PKEY_free);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  return EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha1(), nullptr, clave.get()) == 1 &&
         EVP_DigestVerify(md.get(), firma.data(), firma.size(), dd.data(), dd.size()) == 1;
}

std::string Folio(Servicio& servicio, const std::string& ted) {
  return servicio.NodeValue(XmlDocument::Parse(ted), "//DD/F");
}

}  // namespace

int main() {
  const fs::path salida = Env("QUARLO_DEMO_DIR", ".");
  const fs::path datos = QUARLO_EJEMPLOS_DATOS;
  fs::create_directories(salida);
  Servicio servicio;
  servicio.Configurar(Env("QUARLO_URI"), Env("QUARLO_API_KEY"));
  const std::string T = servicio.Ambiente_Homologacion;
  const Date hoy = Now();
  const std::string fecha = FormatDate(hoy, "yyyy-MM-dd");
  std::string folioFactura, folioBoleta, tedFactura;
  std::shared_ptr<ResultadoEnviarDocumento> envioFactura;

  std::cout << "QuarloCliente: un día de trabajo contra quarlo-sandbox (" << Env("QUARLO_URI")
            << ")\n";
  const std::vector<std::pair<std::string, std::function<std::string()>>> pasos = {
      {"CAF de prueba",
       [&] {
         for (const char* tipo : {"33", "39"}) {
           const fs::path caf = salida / ("caf" + std::string(tipo) + ".xml");
           const std::string orden = "\"" + Env("QUARLO_SANDBOX") + "\" caf --rut " + kEmisor +
                                     " --tipo " + tipo + " --desde 1 --hasta 500" +
                                     " --authority-key \"" + Env("QUARLO_AUTHORITY_KEY") +
                                     "\" > \"" + caf.string() + "\"";
           if (std::system(orden.c_str()) != 0) throw Fallo{"no se pudo emitir el CAF " + orden};
           Exigir(servicio.EnviarCAF(T, caf.string()), "EnviarCAF");
         }
         return std::string("emitidos y cargados para facturas (33) y boletas (39), folios 1-500");
       }},
      {"Factura",
       [&] {
         auto dte = std::make_shared<DteDocumentBinding>();
         auto doc = dte->CrearDocumento();
         auto enc = doc->Encabezado();
         enc->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica).SetFolio(1);
         enc->IdDoc()->SetFchEmis(BindingDateTime::FromDate(hoy));
         enc->Emisor()->SetRUTEmisor(kEmisor).Set("RznSoc", "Comercializadora Ñuñoa Ltda.");
         enc->Emisor()->Set("GiroEmis", "Ferretería").Set("Acteco", 466301);
         enc->Emisor()->Set("DirOrigen", "Av. Irarrázaval 3456").Set("CmnaOrigen", "Ñuñoa");
         enc->Receptor()->SetRUTRecep(kReceptor).SetRznSocRecep("Constructora Los Peñascos SpA");
         enc->Receptor()->Set("GiroRecep", "Construcción").Set("DirRecep", "Av. Arrieta 8120");
         enc->Receptor()->Set("CmnaRecep", "Peñalolén");
         enc->Totales()->Set("MntNeto", 100000).Set("TasaIVA", "19").Set("IVA", 19000);
         enc->Totales()->SetMntTotal(119000);
         auto linea = doc->AgregarDetalle();
         linea->SetNroLinDet(1).SetNmbItem("Cemento especial 25 kg “Cordillera”");
         linea->Set("QtyItem", 20).Set("PrcItem", 5000).Set("MontoItem", 100000);
         envioFactura = servicio.EnviarDocumentoDTE_AutoFoliado(dte, T, "2014-08-22", 80,
                                                                servicio.TipoPDF417_Grafico, true);
         Exigir(envioFactura->ResultadoServicio, "EnviarDocumentoDTE");
         tedFactura = envioFactura->TED;
         folioFactura = Folio(servicio, tedFactura);
         return "timbrada con numeración automática: folio " + folioFactura + ", total $119.000";
       }},
      {"Boleta",
       [&] {
         auto boleta = std::make_shared<BoletaDocumentBinding>();
         boleta->Load(LeerArchivo(datos / "boleta.xml"), DefaultBindingContext());
         boleta->Documento()->Encabezado()->IdDoc()->SetFchEmis(BindingDateTime::FromDate(hoy));
         const auto r = servicio.EnviarDocumentoBoleta_AutoFoliado(
             boleta, T, "2014-08-22", 80, servicio.TipoPDF417_Fuente, true);
         Exigir(r->ResultadoServicio, "EnviarDocumentoBoleta");
         folioBoleta = Folio(servicio, r->TED);
         return "timbrada con numeración automática: folio " + folioBoleta;
       }},
      {"Timbre",
       [&] {
         if (!TimbreValido(servicio, tedFactura)) throw Fallo{"la firma del TED no verifica"};
         return "de la factura " + folioFactura + " verificado con la clave pública del CAF";
       }},
      {"Código PDF417",
       [&] {
         const fs::path png = salida / "factura_pdf417.png";
         if (!servicio.EscribirFichero(png.string(), envioFactura->GetPdf417ComoBytes())) {
           throw Fallo{"no se pudo escribir " + png.string()};
         }
         return "guardado en " + fs::absolute(png).string();
       }},
      {"PDF",
       [&] {
         const auto pdf =
             servicio.RecuperarPDF(T, servicio.Grupo_Emitido, kEmisor, "33", folioFactura);
         Exigir(pdf->ResultadoServicio, "RecuperarPDF");
         const fs::path archivo = salida / "factura.pdf";
         if (!servicio.EscribirFichero(archivo.string(), pdf->GetDatosComoBytes())) {
           throw Fallo{"no se pudo escribir " + archivo.string()};
         }
         return "de la factura guardado en " + fs::absolute(archivo).string();
       }},
      {"Estado fiscal",
       [&] {
         const auto estado =
             servicio.EstadoFiscal(T, servicio.Grupo_Emitido, kEmisor, "33", folioFactura);
         Exigir(estado->ResultadoServicio, "EstadoFiscal");
         const auto trazas =
             servicio.ObtenerTracking(T, servicio.Grupo_Emitido, kEmisor, "33", folioFactura);
         Exigir(trazas->ResultadoServicio, "ObtenerTracking");
         std::string historia;
         for (const auto& paso : trazas->getResumen()->getEstadoTrackArray()) {
           historia += (historia.empty() ? "" : " → ") + paso->estadoField;
         }
         return estado->Estado + " (seguimiento " + estado->IdSeguimiento + ": " + historia + ")";
       }},
      {"Respuesta comercial",
       [&] {
         Exigir(servicio.EnviarRespuestaComercial(T, kEmisor, "33", folioFactura, "María Peña",
                                                  "+56 2 2345 6789", "compras@penascos.cl",
                                                  "Mercadería recibida conforme",
                                                  servicio.TipoRespuestaComercial_Aceptacion),
                "EnviarRespuestaComercial");
         const auto estado = servicio.EstadoComercialDocumento(T, servicio.Grupo_Recibido, kEmisor,
                                                               "33", folioFactura, false);
         Exigir(estado->ResultadoServicio, "EstadoComercialDocumento");
         return "aceptación del receptor registrada; estado comercial " +
                estado->CodigoEstadoComercial + " (" + estado->DescripcionEstadoComercial + ")";
       }},
      {"Consumo de Folios",
       [&] {
         auto consumo = std::make_shared<ConsumoFoliosBinding>();
         auto resumen = consumo->DocumentoConsumoFolios()->AgregarResumen();
         resumen->SetTipoDocumento(39).SetMntTotal(21225);
         resumen->Set("FoliosEmitidos", 1).Set("FoliosAnulados", 0).Set("FoliosUtilizados", 1);
         resumen->AgregarRangoUtilizados(BindingInteger(folioBoleta), BindingInteger(folioBoleta));
         Exigir(servicio.EnviarConsumoFolio(consumo, T, "2014-08-22", 80, kEmisor, fecha, fecha)
                    ->ResultadoServicio,
                "EnviarConsumoFolio");
         const auto estado = servicio.EstadoFiscalConsumoFolios(kEmisor, T, hoy);
         Exigir(estado->ResultadoServicio, "EstadoFiscalConsumoFolios");
         return "del " + fecha + " enviado; estado " + estado->Estado;
       }},
      {"Libro de Ventas",
       [&] {
         auto libro = std::make_shared<LibroCompraVentaBinding>();
         libro->Load(LeerArchivo(datos / "libro_ventas.xml"), DefaultBindingContext());
         const std::string periodo = FormatDate(hoy, "yyyy-MM");
         Exigir(servicio
                    .EnviarLibroCompraVenta(libro, T, "2014-08-22", 80, kEmisor, periodo,
                                            servicio.TipoOperacion_Venta,
                                            servicio.TipoLibro_Mensual, servicio.TipoEnvio_Total, 0)
                    ->ResultadoServicio,
                "EnviarLibroCompraVenta");
         const auto estado = servicio.EstadoFiscalLibro(
             kEmisor, servicio.TipoOperacion_Venta, T, servicio.TipoLibro_Mensual,
             BindingDateTime::FromYearMonth(SplitDate(hoy).year, SplitDate(hoy).month));
         Exigir(estado->ResultadoServicio, "EstadoFiscalLibro");
         return periodo + " enviado; estado " + estado->Estado;
       }},
      {"Búsqueda",
       [&] {
         const auto r =
             servicio.BuscarDocumentos(T, servicio.Grupo_Emitido, "fecha:" + fecha, 1, 50);
         Exigir(r->ResultadoServicio, "BuscarDocumentos");
         std::string lista;
         for (const auto& registro : *r->getDocumentos()) {
           const auto& doc = std::get<std::shared_ptr<ResumenDTE>>(registro);
           lista +=
               (lista.empty() ? "" : ", ") + doc->tipoDte + " folio " + std::to_string(doc->folio);
         }
         if (r->TotalDocumentos < 2) throw Fallo{"se esperaban la factura y la boleta: " + lista};
         return "de los documentos del día: " + std::to_string(r->TotalDocumentos) + " (" + lista +
                ")";
       }},
      {"Anulación",
       [&] {
         const auto r = servicio.AnularDocumento(T, kEmisor, "39", folioBoleta,
                                                 "Venta anulada: el cliente devolvió el producto");
         if (r->Estado == "1") throw Fallo{"AnularDocumento: " + r->Descripcion};
         const auto estado =
             servicio.EstadoFiscal(T, servicio.Grupo_Emitido, kEmisor, "39", folioBoleta);
         Exigir(estado->ResultadoServicio, "EstadoFiscal");
         return "de la boleta " + folioBoleta + "; su nuevo estado es " + estado->Estado;
       }},
  };

  int correctos = 0;
  for (std::size_t i = 0; i < pasos.size(); ++i) {
    std::cout << "[" << (i + 1) << "/" << pasos.size() << "] " << pasos[i].first << " ";
    try {
      std::cout << pasos[i].second() << '\n';
      ++correctos;
    } catch (const Fallo& f) {
      std::cout << "FALLÓ: " << f.motivo << '\n';
    } catch (const std::exception& e) {
      std::cout << "FALLÓ: " << e.what() << '\n';
    }
  }
  std::cout << "Demostración " << (correctos == int(pasos.size()) ? "completa" : "incompleta")
            << ": " << correctos << " de " << pasos.size() << " pasos correctos.\n";
  return correctos == int(pasos.size()) ? EXIT_SUCCESS : EXIT_FAILURE;
}
