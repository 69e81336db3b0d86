#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>

#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/book_period.hpp"
#include "service/operations.hpp"
#include "service/sii_xml.hpp"
#include "service/tracking.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;
using QuarloCliente::BindingDateTime;
using QuarloCliente::BindingDocument;
using QuarloCliente::BindingInteger;

namespace {

// What every book request carries besides its own fields.
struct BookRequest {
  std::string environment;
  std::string rut;
  QuarloCliente::Bytes content;
  std::string resolutionDate;  // AAAA-MM-DD
  std::int64_t resolutionNumber = 0;
};

BookRequest ReadBook(const RequestBody& request) {
  BookRequest book;
  book.environment = RequireEnvironment(request.Field("Environment"));
  book.rut = RequireRut(request.Field("RutEmisorLibro"), "RutEmisorLibro");
  book.content = DecodeBase64Field(request.Field("Content"), "Content");
  book.resolutionDate = RequireDate(request.Field("ResolutionDate"), "ResolutionDate");
  book.resolutionNumber = request.Number("ResolutionNumber", 0, 999999);
  return book;
}

// Loads the content into the binding strictly; its text is read with the encoding its
// declaration names.
void LoadContent(BindingDocument& binding, const QuarloCliente::Bytes& content) {
  const auto doc = ParseDocumentBytes(content, "Content");
  try {
    binding.Load(qd::SerializeDocument(doc.get(), ""), StrictBindingContext());
  } catch (const QuarloCliente::Error& error) {
    throw SandboxError(
        400, std::string("el elemento Content no es el documento esperado: ") + error.what());
  }
}

// Runs a change of the binding, turning its refusals into a 400 that names the step.
template <class Fn>
void Complete(std::string_view what, Fn&& fn) {
  try {
    fn();
  } catch (const QuarloCliente::Error& error) {
    throw SandboxError(400, std::string(what) + ": " + error.what());
  }
}

// Stores the book under its key, replacing an earlier submission of the same book.
Answer StoreBook(ServiceContext& context, const BookRequest& book, const BindingDocument& binding,
                 DocumentKind kind, const std::string& tipo, std::int64_t folio) {
  Complete("el documento no cumple el esquema del SII", [&] { binding.Validate(); });
  const std::string xml = binding.ToXml(StrictBindingContext(), false, 2);
  return context.store.Write([&](StoreTx& tx) {
    const std::string now = NowText();
    DocumentRow row;
    row.key = DocumentKey{book.environment, book.rut, tipo, folio};
    if (auto old = tx.FindDocument(row.key)) tx.DeleteDocument(old->id);
    row.kind = kind;
    row.xml = xml;
    row.resolutionDate = book.resolutionDate;
    row.resolutionNumber = std::to_string(book.resolutionNumber);
    row.issueDate = now.substr(0, 10);
    row.trackId = tx.NewTrackId(book.environment, kind, now);
    row.receivedAt = now;
    const std::int64_t id = tx.InsertDocument(row);
    tx.AddTrackState(id, FirstTrackState(row.trackId, true, now));
    Answer answer;
    answer.Add("TrackId", std::to_string(row.trackId)).Add("Folio", std::to_string(folio));
    return answer;
  });
}

BindingDateTime Date(const std::string& isoDate) {
  return BindingDateTime::Parse(isoDate, QuarloCliente::BindingDateTimeKind::XsDate);
}

template <class Binding>
Answer SendLibro(ServiceContext& context, const Call& call, std::string_view root,
                 DocumentKind kind, const std::string& tipo) {
  const RequestBody request(call.body, root);
  const BookRequest book = ReadBook(request);
  const BookPeriod period =
      ReadBookPeriod(request.Field("PeriodoTributario"), request.Field("TipoLibro"));
  request.Number("NroSegmento", 0, 999999);
  request.Number("FolioNotificacion", 0, 9999999999);
  Binding binding;
  LoadContent(binding, book.content);
  return StoreBook(context, book, binding, kind, tipo, period.code);
}

}  // namespace

Answer SendConsumoFolio(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "SendConsumoFolioRequest");
  const BookRequest book = ReadBook(request);
  const std::string first = RequireDate(request.Field("FechaInicio"), "FechaInicio");
  const std::string last = RequireDate(request.Field("FechaFinal"), "FechaFinal");
  const std::int64_t correlativo = request.Number("Correlativo", 0, 999999);
  const std::int64_t secEnvio = request.Number("SecEnvio", 1, 999999);
  QuarloCliente::ConsumoFoliosBinding binding;
  LoadContent(binding, book.content);
  // The library sends the report without its cover; the service writes it from the fields.
  Complete("la carátula del consumo de folios no admite los datos enviados", [&] {
    const std::string c = "DocumentoConsumoFolios/Caratula/";
    binding.Set(c + "RutEmisor", book.rut).Set(c + "RutEnvia", book.rut);
    binding.Set(c + "FchResol", Date(book.resolutionDate));
    binding.Set(c + "NroResol", book.resolutionNumber);
    binding.Set(c + "FchInicio", Date(first)).Set(c + "FchFinal", Date(last));
    if (correlativo > 0) binding.Set(c + "Correlativo", correlativo);
    binding.Set(c + "SecEnvio", secEnvio);
    binding.Set(c + "TmstFirmaEnv", BindingDateTime::Parse(NowText()));
  });
  return StoreBook(context, book, binding, DocumentKind::ConsumoFolios, "100", DayCode(first));
}

Answer SendLibroCompraVenta(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "SendLibroCompraVentaRequest");
  const BookRequest book = ReadBook(request);
  const BookPeriod period =
      ReadBookPeriod(request.Field("PeriodoTributario"), request.Field("TipoLibro"));
  const std::string operacion = request.Field("TipoOperacion");
  if (operacion != "COMPRA" && operacion != "VENTA") {
    throw SandboxError(400, "TipoOperacion debe ser COMPRA o VENTA, no '" + operacion + "'");
  }
  const std::int64_t segmento = request.Number("NroSegmento", 0, 999999);
  const std::int64_t notificacion = request.Number("FolioNotificacion", 0, 9999999999);
  QuarloCliente::LibroCompraVentaBinding binding;
  LoadContent(binding, book.content);
  Complete("la carátula del libro no admite los datos enviados", [&] {
    const std::string c = "EnvioLibro/Caratula/";
    binding.Set(c + "RutEmisorLibro", book.rut).Set(c + "RutEnvia", book.rut);
    binding.Set(c + "PeriodoTributario", period.yearMonth);
    binding.Set(c + "FchResol", Date(book.resolutionDate));
    binding.Set(c + "NroResol", book.resolutionNumber);
    binding.Set(c + "TipoOperacion", operacion).Set(c + "TipoLibro", period.tipoLibro);
    binding.Set(c + "TipoEnvio", request.Field("TipoEnvio"));
    if (segmento > 0) binding.Set(c + "NroSegmento", segmento);
    if (notificacion > 0) binding.Set(c + "FolioNotificacion", notificacion);
    if (!request.Field("CodAutRec").empty())
      binding.Set(c + "CodAutRec", request.Field("CodAutRec"));
  });
  return StoreBook(context, book, binding, DocumentKind::LibroCompraVenta, operacion, period.code);
}

Answer SendLibroGuia(ServiceContext& context, const Call& call) {
  return SendLibro<QuarloCliente::LibroGuiaBinding>(context, call, "SendLibroGuiaRequest",
                                                    DocumentKind::LibroGuia, "GUIA");
}

Answer SendLibroBoleta(ServiceContext& context, const Call& call) {
  return SendLibro<QuarloCliente::LibroBoletaBinding>(context, call, "SendLibroBoletaRequest",
                                                      DocumentKind::LibroBoleta, "BOLETA");
}

}  // namespace QuarloSandbox
