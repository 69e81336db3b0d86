#include "contingency/exchange.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <quarlo/error.hpp>

#include "binding/library_contexts.hpp"

namespace QuarloCliente::detail {

namespace {

Exchange FromResult(const ResultadoServicio& result, std::string trackId = {}) {
  return {ClassifyResult(result), FailureKindName(result), result.Descripcion, std::move(trackId)};
}

template <class Binding>
std::shared_ptr<Binding> LoadStored(const DueItem& item) {
  auto document = std::make_shared<Binding>();
  document->Load(item.contenido, StrictLoadingContext());
  return document;
}

// A CAF goes to the service as a file: written beside the outbox, readable by its owner alone
// (it holds the private key), and removed right after.
class PrivateCafFile {
 public:
  PrivateCafFile(const std::string& outbox, const Bytes& bytes) : path_(outbox + ".caf-XXXXXX") {
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) return;
    written_ = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    if (!written_) ::unlink(path_.c_str());
  }
  ~PrivateCafFile() {
    if (written_) ::unlink(path_.c_str());
  }
  PrivateCafFile(const PrivateCafFile&) = delete;
  PrivateCafFile& operator=(const PrivateCafFile&) = delete;
  bool Written() const { return written_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool written_ = false;
};

Exchange UploadCaf(Servicio& servicio, const std::string& outbox,
                   const SubmissionSettings& settings, const DueItem& item) {
  const PrivateCafFile file(outbox, item.contenido);
  // A full or read-only disk passes; nothing left the machine, so the upload waits its turn.
  if (!file.Written()) {
    return {DeliveryOutcome::NotSent,
            NombreFallo(TipoFallo::ErrorLocal),
            "Bandeja de salida: no se pudo escribir el CAF para subirlo",
            {}};
  }
  return FromResult(*servicio.EnviarCAF(settings.ambiente, file.Path()));
}

Exchange SendStored(Servicio& servicio, const SubmissionSettings& settings, const DueItem& item) {
  const auto nro = static_cast<Integer>(settings.nroResolucion);
  if (item.clase == "consumo") {
    return FromResult(*servicio
                           .EnviarConsumoFolio(LoadStored<ConsumoFoliosBinding>(item),
                                               settings.ambiente, settings.fechaResolucion, nro,
                                               item.rut, item.fecha, item.fecha)
                           ->ResultadoServicio);
  }
  // The barcode was drawn when the document was issued; the service's text form is the
  // cheapest it makes.
  std::shared_ptr<ResultadoEnviarDocumento> sent;
  if (item.clase == "boleta") {
    sent = servicio.EnviarDocumentoBoleta_TED(LoadStored<BoletaDocumentBinding>(item),
                                              settings.ambiente, settings.fechaResolucion, nro,
                                              servicio.TipoPDF417_Fuente, item.ted);
  } else {
    sent = servicio.EnviarDocumentoDTE_TED(LoadStored<DteDocumentBinding>(item), settings.ambiente,
                                           settings.fechaResolucion, nro,
                                           servicio.TipoPDF417_Fuente, item.ted);
  }
  Exchange exchange = FromResult(*sent->ResultadoServicio);
  if (exchange.outcome == DeliveryOutcome::Accepted) {
    const Exchange status = AskAboutItem(servicio, settings, item);
    if (status.outcome == DeliveryOutcome::Accepted) exchange.trackId = status.trackId;
  }
  return exchange;
}

}  // namespace

Exchange SubmitItem(Servicio& servicio, const std::string& outbox,
                    const SubmissionSettings& settings, const DueItem& item) {
  if (item.clase == "caf") return UploadCaf(servicio, outbox, settings, item);
  try {
    return SendStored(servicio, settings, item);
  } catch (const Error& error) {
    // What the outbox stored and can no longer read will not read better later.
    return {DeliveryOutcome::LocalError, NombreFallo(TipoFallo::ErrorLocal), error.what(), {}};
  }
}

Exchange AskAboutItem(Servicio& servicio, const SubmissionSettings& settings, const DueItem& item) {
  if (item.clase == "consumo") {
    const auto report = servicio.EstadoFiscalConsumoFolios(
        item.rut, settings.ambiente, BindingDateTime::Parse(item.fecha).ToDate());
    return FromResult(*report->ResultadoServicio, report->IdSeguimiento);
  }
  const auto status =
      servicio.EstadoFiscal(settings.ambiente, Variant(servicio.Grupo_Emitido), item.rut,
                            std::to_string(item.tipo), std::to_string(item.folio));
  return FromResult(*status->ResultadoServicio, status->IdSeguimiento);
}

}  // namespace QuarloCliente::detail
