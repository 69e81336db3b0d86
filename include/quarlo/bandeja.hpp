#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <quarlo/binding_dte.hpp>
#include <quarlo/binding_libros.hpp>
#include <quarlo/export.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <vector>

namespace QuarloCliente {

class Servicio;

/// Where an item of the outbox stands.
enum class EstadoItem { Pendiente, Aceptado, Rechazado };

/// What an item of the outbox carries to the service.
enum class ClaseItem { Caf, Dte, Boleta, ConsumoFolios };

/// What an issue gives back, all made locally before returning: the folio taken, the TED the
/// document was stamped with, its PDF417 image, and a warning when folios run low ("" if none).
struct QUARLO_API EmisionLocal {
  std::int64_t item = 0;
  std::int64_t folio = 0;
  std::string ted;
  Bytes pdf417Png;
  std::string aviso;
};

/// One CAF held by the outbox and how far its folios have been used.
struct QUARLO_API FoliosCaf {
  std::string rutEmisor;
  std::int32_t tipoDte = 0;
  std::int64_t desde = 0;
  std::int64_t hasta = 0;
  /// The next folio to be taken; hasta + 1 once the range is used up.
  std::int64_t siguiente = 0;
  std::int64_t restantes = 0;
};

/// One item of the outbox.
struct QUARLO_API ItemBandeja {
  std::int64_t id = 0;
  ClaseItem clase = ClaseItem::Dte;
  std::string rutEmisor;
  std::int32_t tipoDte = 0;
  /// The document's folio; the first folio for a CAF; 0 for a folio report.
  std::int64_t folio = 0;
  EstadoItem estado = EstadoItem::Pendiente;
  /// True when an earlier attempt may have reached the service: it is asked before a resend.
  bool puedeHaberLlegado = false;
  int intentos = 0;
  /// The service's track id once accepted, when it gave one.
  std::string idSeguimiento;
  /// The refusal's reason, or the last failure's description while pending.
  std::string motivo;
  /// When it was queued.
  std::chrono::system_clock::time_point creado;
};

/// One recorded exchange about an item. An attempt without fin was started and never finished
/// (the process ended mid-exchange).
struct QUARLO_API IntentoEnvio {
  std::chrono::system_clock::time_point inicio;
  std::optional<std::chrono::system_clock::time_point> fin;
  /// "envio" for a submission, "consulta" for a question about an earlier one.
  std::string operacion;
  /// The state the item was left in ("aceptado", "rechazado", "pendiente"), "" while unfinished.
  std::string resultado;
  /// The failure kind of the answer as NombreFallo names it, "" while unfinished.
  std::string tipoFallo;
  std::string descripcion;
};

/// What a document stored in the outbox holds, read back for reprinting.
struct QUARLO_API DocumentoGuardado {
  std::string xml;
  std::string ted;
  Bytes pdf417Png;
  EstadoItem estado = EstadoItem::Pendiente;
};

/// What one drain of the outbox did.
struct QUARLO_API ResumenEnvio {
  int aceptados = 0;
  int rechazados = 0;
  /// Items attempted or asked about that stay pending.
  int pendientes = 0;
  /// Exchanges with the service (submissions and questions).
  int intercambios = 0;
};

/// Counts of items per state.
struct QUARLO_API ConteoItems {
  int pendientes = 0;
  int aceptados = 0;
  int rechazados = 0;
};

/// The outbox of one point of sale: a SQLite file that holds its CAFs, takes folios, stamps and
/// keeps documents with no network, and delivers each to the service exactly once when the link
/// is back. Safe for several threads on one object and several processes on one file. Every
/// member throws Error (a Spanish description) when it cannot do its work; the file is never
/// replaced or truncated.
class QUARLO_API BandejaSalida {
 public:
  /// Opens the outbox at ruta, creating it (mode 0600, as its -wal and -shm files) on first use.
  /// Throws Error for a file that is not an outbox or is damaged, or one written by a newer
  /// version of the library.
  explicit BandejaSalida(const std::string& ruta);
  /// Stops the background sender if it runs.
  ~BandejaSalida();
  BandejaSalida(const BandejaSalida&) = delete;
  BandejaSalida& operator=(const BandejaSalida&) = delete;

  /// Sets, in the file, what every submission carries: environment ("T" or "P") and the SII
  /// resolution's date (AAAA-MM-DD) and number. Issuing needs it set once.
  void Configurar(const std::string& ambiente, const std::string& fechaResolucion,
                  Integer nroResolucion);
  /// Sets when folios count as running low, for every issuer and type: fewer left than
  /// porcentaje of the folios of its CAFs in use, or than folios, whichever is smaller (10% and
  /// 50 at first).
  void ConfigurarAvisoFolios(int porcentaje, std::int64_t folios);
  /// Sets the wait before retrying an item that may have reached the service: base, doubled on
  /// each attempt up to tope, then shortened by a random part of up to half (1 s and 10 min at
  /// first).
  void ConfigurarReintentos(std::chrono::milliseconds base, std::chrono::milliseconds tope);
  /// Sets how many exchanges a drain runs at once, each on a connection of its own (1 to 16;
  /// 4 at first).
  void ConfigurarEnviosSimultaneos(int envios);

  /// Keeps a CAF (its file's bytes) with its private key and queues its upload, which goes
  /// before any document of its issuer and type. Throws Error for a CAF without private key or
  /// one whose range overlaps a CAF already held for the same issuer and type.
  void RegistrarCaf(const Bytes& bytes);
  /// The same for a CAF file on disk.
  void RegistrarCaf(const std::string& ruta);
  /// Every CAF held, by issuer, type and first folio.
  std::vector<FoliosCaf> Cafs() const;
  /// The folios left for an issuer and type across its CAFs.
  std::int64_t FoliosRestantes(const std::string& rutEmisor, std::int32_t tipoDte) const;
  /// The warning for an issuer and type whose folios run low, "" when they do not.
  std::string AvisoFolios(const std::string& rutEmisor, std::int32_t tipoDte) const;

  /// Issues a boleta offline in one transaction: takes the next folio of its issuer and type,
  /// writes it into the document (and today's date as FchEmis when it has none), stamps it with
  /// the CAF and queues it. A failure leaves the folio free and the document's folio and date
  /// as they were.
  EmisionLocal EmitirBoleta(const std::shared_ptr<BoletaDocumentBinding>& documento);
  /// The same for a DTE.
  EmisionLocal EmitirDTE(const std::shared_ptr<DteDocumentBinding>& documento);
  /// Queues a boleta stamped elsewhere, as it is; the id of its item. Throws Error when an item
  /// for the same issuer, type and folio is already queued.
  std::int64_t EncolarBoleta(const std::shared_ptr<BoletaDocumentBinding>& documento,
                             const std::string& ted);
  /// The same for a DTE.
  std::int64_t EncolarDTE(const std::shared_ptr<DteDocumentBinding>& documento,
                          const std::string& ted);

  /// The day's Consumo de Folios of the boletas this outbox holds for the issuer: per type its
  /// amounts, folios used (all issued: the outbox voids none) and their runs of consecutive
  /// folios, under a cover with the configured resolution.
  std::shared_ptr<ConsumoFoliosBinding> ConsumoFoliosDelDia(const std::string& rutEmisor,
                                                            Date fecha) const;
  /// Queues the day's Consumo de Folios for delivery; the id of its item. Throws Error when the
  /// day's report of the issuer is already queued and not refused.
  std::int64_t EncolarConsumoFolios(const std::string& rutEmisor, Date fecha);

  /// Delivers what is due now, CAFs first, through servicio (configured by the caller) and, when
  /// several exchanges run at once, through instances configured like it; stops early when the
  /// service cannot be reached. One drain runs at a time per file: a call made while another
  /// object or process drains the same file waits for it to end. An attempt that a drain which
  /// has since died left unfinished is settled by the next one, asking the service first.
  ResumenEnvio Enviar(Servicio& servicio);
  /// Runs Enviar every intervalo on a thread of its own, with a Servicio of its own; a running
  /// sender is stopped first.
  void IniciarEnvio(const std::string& uri, const std::string& llave,
                    std::chrono::milliseconds intervalo);
  /// Stops the background sender, waiting for an exchange in progress to end.
  void DetenerEnvio();

  /// The items in a state, oldest first.
  std::vector<ItemBandeja> Items(EstadoItem estado) const;
  /// How many items are in each state.
  ConteoItems Conteo() const;
  /// How long the oldest pending item has waited; nullopt when none is pending.
  std::optional<std::chrono::milliseconds> AntiguedadPendiente() const;
  /// The recorded attempts of an item, in order.
  std::vector<IntentoEnvio> Historial(std::int64_t item) const;
  /// A document issued or queued here, by issuer, type and folio; throws Error when none is.
  DocumentoGuardado Documento(const std::string& rutEmisor, std::int32_t tipoDte,
                              std::int64_t folio) const;

  /// The library's internal state of the outbox.
  struct Estado;

 private:
  std::unique_ptr<Estado> estado_;
};

}  // namespace QuarloCliente
