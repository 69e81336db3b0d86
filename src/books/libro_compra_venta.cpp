#include <quarlo/binding_libros.hpp>
#include <quarlo/servicio.hpp>

#include "books/book_submission.hpp"
#include "core/fake_signature.hpp"
#include "core/request_body.hpp"

namespace QuarloCliente {

namespace {

BindingDateTime CertificateStamp() {
  return BindingDateTime::FromDateTime(2014, 12, 21, 0, 0, 0);
}

void StampCal(LceCal& cal) {
  cal.SetVersion("1.0");
  cal.DocumentoCal()->SetTmstFirma(CertificateStamp());
}

// Only a certificate the caller attached is stamped; none is ever created.
void StampCertificates(EnvioLibroCompraVenta& envio) {
  if (const auto cal = envio.LceCal()) StampCal(*cal);
  if (const auto coCertif = envio.LceCoCertif()) {
    coCertif->SetVersion("1");
    const auto documento = coCertif->DocumentoCoCertif();
    StampCal(*documento->LceCal());
    documento->SetTmstFirma(CertificateStamp());
  }
}

// The cover is removed before sending (its data travel as request fields), but the book must
// hold a complete one to serialise; the values stay in the caller's object, as callers expect.
void WritePlaceholders(LibroCompraVentaBinding& libro) {
  libro.SetVersion(BindingDecimal("1.0"));
  const auto envio = libro.EnvioLibro();
  envio->SetID("ID_1");
  envio->Caratula()
      ->SetRutEmisorLibro("11111111-1")
      .SetRutEnvia("22222222-2")
      .SetPeriodoTributario(BindingDateTime::FromYearMonth(2014, 10))
      .SetFchResol(BindingDateTime::FromDate(2014, 12, 21))
      .SetNroResol(1)
      .SetTipoOperacion("COMPRA")
      .SetTipoLibro("MENSUAL")
      .SetTipoEnvio("TOTAL");
  envio->SetTmstFirma(BindingDateTime::FromDateTime(2014, 10, 1, 0, 0, 0));
  StampCertificates(*envio);
}

// The book's Content: placeholders written into the object; in the text the cover left out and
// an empty signature closing the root for the service to complete.
std::string SignableContent(LibroCompraVentaBinding& libro) {
  WritePlaceholders(libro);
  return detail::BookContent(libro, detail::ElementNodes::Child(libro, "EnvioLibro/Caratula").get(),
                             detail::FakeSignatureXml());
}

}  // namespace

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroCompraVenta(
    const std::shared_ptr<LibroCompraVentaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoOperacion,
    const std::string& tipoLibro, const std::string& tipoEnvio, Integer nroSegmento) {
  return EnviarLibroCompraVenta2(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                                 periodoTributario, tipoOperacion, tipoLibro, tipoEnvio,
                                 nroSegmento, 0);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroCompraVenta2(
    const std::shared_ptr<LibroCompraVentaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoOperacion,
    const std::string& tipoLibro, const std::string& tipoEnvio, Integer nroSegmento,
    Integer folioNotificacion) {
  return EnviarLibroCompraVenta3(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                                 periodoTributario, tipoOperacion, tipoLibro, tipoEnvio,
                                 nroSegmento, folioNotificacion, "");
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroCompraVenta3(
    const std::shared_ptr<LibroCompraVentaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoOperacion,
    const std::string& tipoLibro, const std::string& tipoEnvio, Integer nroSegmento,
    Integer folioNotificacion, const std::string& codAutRec) {
  auto result = std::make_shared<ResultadoEnviarLibro>();
  const auto answer = detail::PostBook(
      *this, *result->ResultadoServicio,
      "Error Enviando libro CompraVenta: ", "/SendLibroCompraVenta", [&] {
        const std::string content = SignableContent(detail::RequireBook(Documento));
        return detail::WriteRequestBody("SendLibroCompraVentaRequest",
                                        {{"Environment", ambiente},
                                         {"Content", content},
                                         {"ResolutionDate", fechaResolucion},
                                         {"ResolutionNumber", detail::Decimal(numeroResolucion)},
                                         {"RutEmisorLibro", rutEmisor},
                                         {"PeriodoTributario", periodoTributario},
                                         {"TipoOperacion", tipoOperacion},
                                         {"TipoLibro", tipoLibro},
                                         {"TipoEnvio", tipoEnvio},
                                         {"NroSegmento", detail::Decimal(nroSegmento)},
                                         {"FolioNotificacion", detail::Decimal(folioNotificacion)},
                                         {"CodAutRec", codAutRec}});
      });
  return answer ? detail::ParseBookResponse(*answer) : result;
}

}  // namespace QuarloCliente
