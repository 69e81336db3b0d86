// A point of sale that only delivers: it opens an outbox file and drains it through a Servicio
// with short transport limits until nothing is pending, then exits 0. The chaos test runs it as a
// child process and kills it with SIGKILL at moments of its choosing.
//
//   quarlo_bandeja_drainer OUTBOX URI API_KEY TOTAL_LIMIT_MS

#include <chrono>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <quarlo/bandeja.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <thread>

namespace {

using namespace QuarloCliente;

// Limits short enough that a stalled answer costs a fraction of a second, not a minute.
LimitesTransporte Limits(const std::string& totalMs) {
  LimitesTransporte limits;
  limits.conexion = std::chrono::milliseconds(1000);
  limits.estancamiento = std::chrono::milliseconds(1000);
  limits.plazoTotal = std::chrono::milliseconds(std::stol(totalMs));
  return limits;
}

int Drain(const std::string& outbox, const std::string& uri, const std::string& key,
          const std::string& totalMs) {
  BandejaSalida bandeja(outbox);
  Servicio servicio;
  servicio.Configurar(uri, key);
  servicio.ConfigurarLimites(Limits(totalMs));
  while (bandeja.Conteo().pendientes > 0) {
    // Nothing was due (every pending item waits out its backoff, counted in milliseconds): a
    // short pause spares the shared CPU without holding the next item back noticeably.
    if (bandeja.Enviar(servicio).intercambios == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "Uso: quarlo_bandeja_drainer BANDEJA URI LLAVE PLAZO_TOTAL_MS\n";
    return 2;
  }
  try {
    return Drain(argv[1], argv[2], argv[3], argv[4]);
  } catch (const std::exception& error) {
    std::cerr << "quarlo_bandeja_drainer: " << error.what() << '\n';
  }
  return EXIT_FAILURE;
}
