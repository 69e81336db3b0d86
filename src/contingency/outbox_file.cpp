#include "contingency/outbox_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE configuracion(clave TEXT PRIMARY KEY, valor TEXT NOT NULL);
CREATE TABLE caf(
  id INTEGER PRIMARY KEY, rut TEXT NOT NULL, tipo INTEGER NOT NULL, desde INTEGER NOT NULL,
  hasta INTEGER NOT NULL, siguiente INTEGER NOT NULL, bytes BLOB NOT NULL);
CREATE INDEX caf_emisor ON caf(rut, tipo, desde);
CREATE TABLE item(
  id INTEGER PRIMARY KEY, clase TEXT NOT NULL, rut TEXT NOT NULL, tipo INTEGER NOT NULL,
  folio INTEGER NOT NULL, fecha TEXT NOT NULL DEFAULT '', contenido BLOB NOT NULL,
  ted TEXT NOT NULL DEFAULT '', mnt_neto INTEGER NOT NULL DEFAULT 0,
  mnt_iva INTEGER NOT NULL DEFAULT 0, mnt_exento INTEGER NOT NULL DEFAULT 0,
  mnt_total INTEGER NOT NULL DEFAULT 0, estado TEXT NOT NULL DEFAULT 'pendiente',
  incierto INTEGER NOT NULL DEFAULT 0, intentos INTEGER NOT NULL DEFAULT 0,
  proximo INTEGER NOT NULL DEFAULT 0, creado INTEGER NOT NULL,
  seguimiento TEXT NOT NULL DEFAULT '', motivo TEXT NOT NULL DEFAULT '');
CREATE UNIQUE INDEX item_documento ON item(rut, tipo, folio) WHERE clase IN ('dte', 'boleta');
CREATE INDEX item_estado ON item(estado, proximo);
CREATE INDEX item_clase ON item(clase, estado, rut, tipo);
CREATE TABLE intento(
  id INTEGER PRIMARY KEY, item INTEGER NOT NULL REFERENCES item(id), operacion TEXT NOT NULL,
  inicio INTEGER NOT NULL, fin INTEGER, resultado TEXT NOT NULL DEFAULT '',
  fallo TEXT NOT NULL DEFAULT '', descripcion TEXT NOT NULL DEFAULT '');
CREATE INDEX intento_item ON intento(item, id);
)sql";

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw Error("Bandeja de salida: el fichero '" + path + "' " + why);
}

// Narrows a file the outbox owns to its owner, since it holds CAF private keys.
void OwnerOnly(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  if ((info.st_mode & 0077) != 0 && ::chmod(path.c_str(), 0600) != 0) {
    Refuse(path, std::string("no se pudo restringir a su dueño: ") + std::strerror(errno));
  }
}

// Created empty with mode 0600 before SQLite opens it, so that it never exists with a wider
// mode; SQLite gives its -wal and -shm files the mode of the database file. An existing file is
// opened without O_TRUNC, so its bytes are untouched.
void CreateOwnerOnly(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) Refuse(path, std::string("no se pudo abrir: ") + std::strerror(errno));
  ::close(fd);
  OwnerOnly(path);
}

// A file that is not SQLite fails its first read of the header; a damaged one fails quick_check.
void CheckIntact(SqliteDb& db, const std::string& path) {
  if (sqlite3_exec(db.Handle(), "PRAGMA schema_version", nullptr, nullptr, nullptr) != SQLITE_OK) {
    Refuse(path, "no es una base de datos SQLite o está dañado; no se ha modificado");
  }
  SqliteStatement check(db, "PRAGMA quick_check");
  bool ok = false;
  try {
    ok = check.Step() && check.Text(0) == "ok";
  } catch (const Error&) {
  }
  if (!ok) Refuse(path, "está dañado (falla la comprobación de integridad); no se ha modificado");
}

void CreateOrCheckSchema(SqliteDb& db, const std::string& path) {
  SqliteWriteTransaction transaction(db);
  const std::int64_t version = db.QueryInteger("PRAGMA user_version");
  if (version > kOutboxSchemaVersion) {
    Refuse(path, "fue escrito por una versión más reciente de la biblioteca (esquema " +
                     std::to_string(version) + ", esta conoce hasta el " +
                     std::to_string(kOutboxSchemaVersion) + "); actualice la aplicación");
  }
  if (version == 0) {
    if (db.QueryInteger("SELECT count(*) FROM sqlite_master") != 0) {
      Refuse(path, "es una base de datos SQLite que no es una bandeja de salida");
    }
    db.Execute(kSchema);
    db.Execute(("PRAGMA user_version = " + std::to_string(kOutboxSchemaVersion)).c_str());
  }
  transaction.Commit();
}

}  // namespace

SqliteDb OpenOutboxFile(const std::string& path) {
  CreateOwnerOnly(path);
  SqliteDb db(path);
  CheckIntact(db, path);
  {
    // Persistent in the file; a no-op once set.
    SqliteStatement wal(db, "PRAGMA journal_mode=WAL");
    if (!wal.Step() || wal.Text(0) != "wal") Refuse(path, "no admite el diario WAL");
  }
  db.Execute("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON");
  CreateOrCheckSchema(db, path);
  OwnerOnly(path + "-wal");
  OwnerOnly(path + "-shm");
  return db;
}

}  // namespace QuarloCliente::detail
