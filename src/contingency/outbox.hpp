#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <quarlo/bandeja.hpp>
#include <quarlo/caf.hpp>
#include <random>
#include <string>
#include <thread>

#include "contingency/drain_lock.hpp"
#include "contingency/sqlite.hpp"

namespace QuarloCliente {

// The outbox's connection and what its threads share. The connection is used under `mutex`
// alone; the exchanges with the service run outside it, so issuing never waits for the network.
struct BandejaSalida::Estado {
  Estado(detail::SqliteDb opened, const std::string& path)
      : ruta(path), db(std::move(opened)), drainLock(path) {}

  // The CAF of a row, read once: parsing its keys costs more than a stamp.
  const ArchivoCaf& Caf(std::int64_t id, const Bytes& bytes);

  std::string ruta;
  detail::SqliteDb db;
  mutable std::mutex mutex;
  std::map<std::int64_t, ArchivoCaf> cafs;
  std::mt19937_64 jitter{std::random_device{}()};

  // One drain at a time: per object, so that the background sender and a caller's Enviar never
  // send the same item, and per file, across objects and processes.
  std::mutex drain;
  detail::DrainLock drainLock;

  std::mutex senderMutex;
  std::condition_variable senderWake;
  bool senderStop = false;
  std::thread sender;
};

namespace detail {

// Milliseconds since the epoch, the outbox's stored time.
std::int64_t NowMillis();
std::chrono::system_clock::time_point FromMillis(std::int64_t millis);

// The text of a configuration key, fallback when absent.
std::string ReadSetting(const SqliteDb& db, const char* key, const std::string& fallback);
// Writes a configuration key.
void WriteSetting(const SqliteDb& db, const char* key, const std::string& value);
std::int64_t ReadIntegerSetting(const SqliteDb& db, const char* key, std::int64_t fallback);

// What every submission carries, as configured on the outbox.
struct SubmissionSettings {
  std::string ambiente;
  std::string fechaResolucion;
  std::int64_t nroResolucion = 0;
};
// Throws Error when the outbox was never configured.
SubmissionSettings ReadSubmissionSettings(const SqliteDb& db);

// The warning for an issuer and type whose folios run low, "" when they do not.
std::string LowFolioWarning(const SqliteDb& db, const std::string& rut, std::int32_t tipo);

// The stored text of a state and its reading.
const char* StateText(EstadoItem estado);
EstadoItem StateFromText(const std::string& text);

}  // namespace detail
}  // namespace QuarloCliente
