#include <quarlo/error.hpp>

#include "contingency/outbox.hpp"
#include "contingency/outbox_file.hpp"
#include "core/servicio_internals.hpp"

namespace QuarloCliente {

namespace detail {

std::int64_t NowMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::chrono::system_clock::time_point FromMillis(std::int64_t millis) {
  return std::chrono::system_clock::time_point(std::chrono::milliseconds(millis));
}

std::string ReadSetting(const SqliteDb& db, const char* key, const std::string& fallback) {
  SqliteStatement read(db, "SELECT valor FROM configuracion WHERE clave = ?");
  read.Bind(1, key);
  return read.Step() ? read.Text(0) : fallback;
}

void WriteSetting(const SqliteDb& db, const char* key, const std::string& value) {
  SqliteStatement write(db, "INSERT OR REPLACE INTO configuracion(clave, valor) VALUES (?, ?)");
  write.Bind(1, key).Bind(2, value).Run();
}

std::int64_t ReadIntegerSetting(const SqliteDb& db, const char* key, std::int64_t fallback) {
  const std::string text = ReadSetting(db, key, "");
  return text.empty() ? fallback : std::stoll(text);
}

SubmissionSettings ReadSubmissionSettings(const SqliteDb& db) {
  SubmissionSettings settings{ReadSetting(db, "ambiente", ""),
                              ReadSetting(db, "fecha_resolucion", ""),
                              ReadIntegerSetting(db, "nro_resolucion", 0)};
  if (settings.ambiente.empty()) {
    throw Error(
        "Bandeja de salida: falta configurar el ambiente y la resolución (llame a Configurar)");
  }
  return settings;
}

std::string LowFolioWarning(const SqliteDb& db, const std::string& rut, std::int32_t tipo) {
  SqliteStatement sums(db,
                       "SELECT coalesce(sum(hasta - siguiente + 1), 0), "
                       "coalesce(sum(hasta - desde + 1), 0) FROM caf "
                       "WHERE rut = ? AND tipo = ? AND siguiente <= hasta");
  sums.Bind(1, rut).Bind(2, std::int64_t{tipo}).Step();
  const std::int64_t left = sums.Integer(0);
  const std::int64_t inUse = sums.Integer(1);
  const std::string who = " del tipo " + std::to_string(tipo) + " para el emisor " + rut;
  if (left == 0) return "No quedan folios" + who + "; registre un CAF nuevo";
  const std::int64_t percent = ReadIntegerSetting(db, "aviso_porcentaje", 10);
  const std::int64_t folios = ReadIntegerSetting(db, "aviso_folios", 50);
  if (left >= std::min(folios, inUse * percent / 100)) return "";
  return "Quedan " + std::to_string(left) + " folios" + who +
         "; registre un CAF nuevo antes de que se agoten";
}

const char* StateText(EstadoItem estado) {
  switch (estado) {
    case EstadoItem::Aceptado:
      return "aceptado";
    case EstadoItem::Rechazado:
      return "rechazado";
    case EstadoItem::Pendiente:
      break;
  }
  return "pendiente";
}

EstadoItem StateFromText(const std::string& text) {
  if (text == "aceptado") return EstadoItem::Aceptado;
  if (text == "rechazado") return EstadoItem::Rechazado;
  return EstadoItem::Pendiente;
}

}  // namespace detail

namespace {

using detail::SqliteStatement;

ClaseItem ClassFromText(const std::string& text) {
  if (text == "caf") return ClaseItem::Caf;
  if (text == "boleta") return ClaseItem::Boleta;
  if (text == "consumo") return ClaseItem::ConsumoFolios;
  return ClaseItem::Dte;
}

constexpr const char* kItemColumns =
    "id, clase, rut, tipo, folio, estado, incierto, intentos, seguimiento, motivo, creado";

ItemBandeja ReadItem(const SqliteStatement& row) {
  ItemBandeja item;
  item.id = row.Integer(0);
  item.clase = ClassFromText(row.Text(1));
  item.rutEmisor = row.Text(2);
  item.tipoDte = static_cast<std::int32_t>(row.Integer(3));
  item.folio = row.Integer(4);
  item.estado = detail::StateFromText(row.Text(5));
  item.puedeHaberLlegado = row.Integer(6) != 0;
  item.intentos = static_cast<int>(row.Integer(7));
  item.idSeguimiento = row.Text(8);
  item.motivo = row.Text(9);
  item.creado = detail::FromMillis(row.Integer(10));
  return item;
}

// Refuses a CAF whose range shares a folio with one already held for its issuer and type.
void RefuseOverlap(const detail::SqliteDb& db, const ArchivoCaf& caf) {
  SqliteStatement overlap(db,
                          "SELECT desde, hasta FROM caf WHERE rut = ? AND tipo = ? "
                          "AND desde <= ? AND hasta >= ?");
  overlap.Bind(1, caf.RutEmisor()).Bind(2, std::int64_t{caf.TipoDte()});
  overlap.Bind(3, caf.FolioHasta()).Bind(4, caf.FolioDesde());
  if (overlap.Step()) {
    throw Error("Bandeja de salida: el CAF (" + caf.ToString() +
                ") se superpone con el CAF de folios " + std::to_string(overlap.Integer(0)) + "-" +
                std::to_string(overlap.Integer(1)) + " ya registrado");
  }
}

}  // namespace

const ArchivoCaf& BandejaSalida::Estado::Caf(std::int64_t id, const Bytes& bytes) {
  auto found = cafs.find(id);
  if (found == cafs.end()) found = cafs.emplace(id, ArchivoCaf::DesdeBytes(bytes)).first;
  return found->second;
}

BandejaSalida::BandejaSalida(const std::string& ruta)
    : estado_(std::make_unique<Estado>(detail::OpenOutboxFile(ruta), ruta)) {}

BandejaSalida::~BandejaSalida() {
  DetenerEnvio();
}

void BandejaSalida::Configurar(const std::string& ambiente, const std::string& fechaResolucion,
                               Integer nroResolucion) {
  if (ambiente.empty()) throw Error("Bandeja de salida: el ambiente no puede estar vacío");
  std::lock_guard lock(estado_->mutex);
  detail::SqliteWriteTransaction transaction(estado_->db);
  detail::WriteSetting(estado_->db, "ambiente", ambiente);
  detail::WriteSetting(estado_->db, "fecha_resolucion", fechaResolucion);
  detail::WriteSetting(estado_->db, "nro_resolucion", std::to_string(nroResolucion));
  transaction.Commit();
}

void BandejaSalida::ConfigurarAvisoFolios(int porcentaje, std::int64_t folios) {
  if (porcentaje < 0 || porcentaje > 100 || folios < 0) {
    throw Error(
        "Bandeja de salida: el aviso de folios necesita un porcentaje de 0 a 100 y un "
        "número de folios no negativo");
  }
  std::lock_guard lock(estado_->mutex);
  detail::SqliteWriteTransaction transaction(estado_->db);
  detail::WriteSetting(estado_->db, "aviso_porcentaje", std::to_string(porcentaje));
  detail::WriteSetting(estado_->db, "aviso_folios", std::to_string(folios));
  transaction.Commit();
}

void BandejaSalida::ConfigurarReintentos(std::chrono::milliseconds base,
                                         std::chrono::milliseconds tope) {
  if (base.count() <= 0 || tope < base) {
    throw Error("Bandeja de salida: la espera base debe ser positiva y no mayor que el tope");
  }
  std::lock_guard lock(estado_->mutex);
  detail::SqliteWriteTransaction transaction(estado_->db);
  detail::WriteSetting(estado_->db, "reintento_base_ms", std::to_string(base.count()));
  detail::WriteSetting(estado_->db, "reintento_tope_ms", std::to_string(tope.count()));
  transaction.Commit();
}

void BandejaSalida::RegistrarCaf(const Bytes& bytes) {
  ArchivoCaf caf = ArchivoCaf::DesdeBytes(bytes);
  if (!caf.TieneClavePrivada()) {
    throw Error("Bandeja de salida: el CAF (" + caf.ToString() +
                ") no contiene la clave privada; use el fichero descargado del SII");
  }
  std::lock_guard lock(estado_->mutex);
  detail::SqliteWriteTransaction transaction(estado_->db);
  RefuseOverlap(estado_->db, caf);
  SqliteStatement insertCaf(estado_->db,
                            "INSERT INTO caf(rut, tipo, desde, hasta, siguiente, bytes) "
                            "VALUES (?, ?, ?, ?, ?, ?)");
  insertCaf.Bind(1, caf.RutEmisor()).Bind(2, std::int64_t{caf.TipoDte()});
  insertCaf.Bind(3, caf.FolioDesde()).Bind(4, caf.FolioHasta()).Bind(5, caf.FolioDesde());
  insertCaf.BindBlob(6, bytes).Run();
  SqliteStatement queue(estado_->db,
                        "INSERT INTO item(clase, rut, tipo, folio, contenido, creado) "
                        "VALUES ('caf', ?, ?, ?, ?, ?)");
  queue.Bind(1, caf.RutEmisor()).Bind(2, std::int64_t{caf.TipoDte()});
  queue.Bind(3, caf.FolioDesde()).BindBlob(4, bytes).Bind(5, detail::NowMillis()).Run();
  transaction.Commit();
}

void BandejaSalida::RegistrarCaf(const std::string& ruta) {
  RegistrarCaf(detail::ReadFileBytes(ruta));
}

std::vector<FoliosCaf> BandejaSalida::Cafs() const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement rows(estado_->db,
                       "SELECT rut, tipo, desde, hasta, siguiente FROM caf ORDER BY rut, tipo, "
                       "desde");
  std::vector<FoliosCaf> cafs;
  while (rows.Step()) {
    FoliosCaf caf{rows.Text(0),    static_cast<std::int32_t>(rows.Integer(1)),
                  rows.Integer(2), rows.Integer(3),
                  rows.Integer(4), 0};
    caf.restantes = caf.hasta - caf.siguiente + 1;
    cafs.push_back(caf);
  }
  return cafs;
}

std::int64_t BandejaSalida::FoliosRestantes(const std::string& rutEmisor,
                                            std::int32_t tipoDte) const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement sum(estado_->db,
                      "SELECT coalesce(sum(hasta - siguiente + 1), 0) FROM caf "
                      "WHERE rut = ? AND tipo = ? AND siguiente <= hasta");
  sum.Bind(1, rutEmisor).Bind(2, std::int64_t{tipoDte}).Step();
  return sum.Integer(0);
}

std::string BandejaSalida::AvisoFolios(const std::string& rutEmisor, std::int32_t tipoDte) const {
  std::lock_guard lock(estado_->mutex);
  return detail::LowFolioWarning(estado_->db, rutEmisor, tipoDte);
}

std::vector<ItemBandeja> BandejaSalida::Items(EstadoItem estado) const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement rows(
      estado_->db,
      (std::string("SELECT ") + kItemColumns + " FROM item WHERE estado = ? ORDER BY id").c_str());
  rows.Bind(1, detail::StateText(estado));
  std::vector<ItemBandeja> items;
  while (rows.Step()) items.push_back(ReadItem(rows));
  return items;
}

ConteoItems BandejaSalida::Conteo() const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement rows(estado_->db, "SELECT estado, count(*) FROM item GROUP BY estado");
  ConteoItems conteo;
  while (rows.Step()) {
    const int count = static_cast<int>(rows.Integer(1));
    switch (detail::StateFromText(rows.Text(0))) {
      case EstadoItem::Pendiente:
        conteo.pendientes = count;
        break;
      case EstadoItem::Aceptado:
        conteo.aceptados = count;
        break;
      case EstadoItem::Rechazado:
        conteo.rechazados = count;
        break;
    }
  }
  return conteo;
}

std::optional<std::chrono::milliseconds> BandejaSalida::AntiguedadPendiente() const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement oldest(estado_->db, "SELECT min(creado) FROM item WHERE estado = 'pendiente'");
  if (!oldest.Step() || oldest.IsNull(0)) return std::nullopt;
  return std::chrono::milliseconds(
      std::max<std::int64_t>(0, detail::NowMillis() - oldest.Integer(0)));
}

std::vector<IntentoEnvio> BandejaSalida::Historial(std::int64_t item) const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement rows(estado_->db,
                       "SELECT inicio, fin, operacion, resultado, fallo, descripcion FROM intento "
                       "WHERE item = ? ORDER BY id");
  rows.Bind(1, item);
  std::vector<IntentoEnvio> attempts;
  while (rows.Step()) {
    IntentoEnvio attempt;
    attempt.inicio = detail::FromMillis(rows.Integer(0));
    if (!rows.IsNull(1)) attempt.fin = detail::FromMillis(rows.Integer(1));
    attempt.operacion = rows.Text(2);
    attempt.resultado = rows.Text(3);
    attempt.tipoFallo = rows.Text(4);
    attempt.descripcion = rows.Text(5);
    attempts.push_back(std::move(attempt));
  }
  return attempts;
}

}  // namespace QuarloCliente
