#include "send_progress.hpp"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace QuarloCli {

void SendCounts::Add(QuarloCliente::TipoFallo fallo) {
  using QuarloCliente::TipoFallo;
  switch (fallo) {
    case TipoFallo::Ninguno:
      ++enviados;
      break;
    case TipoFallo::RechazoServicio:
      ++rechazados;
      break;
    case TipoFallo::ErrorLocal:
      ++locales;
      break;
    default:
      ++sinComunicacion;
      break;
  }
}

std::string SummaryLine(const SendCounts& counts) {
  std::string line = std::to_string(counts.enviados) + " enviados, " +
                     std::to_string(counts.rechazados) + " rechazados, " +
                     std::to_string(counts.locales) + " con errores locales";
  if (counts.sinComunicacion > 0) {
    line += ", " + std::to_string(counts.sinComunicacion) + " sin comunicación con el servicio";
  }
  return line;
}

ProgressLine::ProgressLine(int total)
    : enabled_(total > 1 && isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() {
  Clear();
}

namespace {

// A rate with one decimal and a decimal comma, as Spanish writes it ("12,5").
std::string Rate(int done, std::chrono::steady_clock::duration elapsed) {
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const long tenths = seconds > 0 ? static_cast<long>(done * 10 / seconds + 0.5) : 0;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
}

}  // namespace

void ProgressLine::Show(const SendCounts& counts) {
  if (!enabled_) return;
  const std::string line = "quarlo: " + std::to_string(counts.Done()) + "/" +
                           std::to_string(counts.total) + " ficheros, " +
                           Rate(counts.Done(), std::chrono::steady_clock::now() - start_) + "/s, " +
                           std::to_string(counts.Failures()) + " con fallos";
  // A shorter line than the one before leaves none of the old one's tail.
  const std::size_t pad = width_ > line.size() ? width_ - line.size() : 0;
  std::cerr << '\r' << line << std::string(pad, ' ') << std::flush;
  width_ = line.size();
}

void ProgressLine::Clear() {
  if (!enabled_ || width_ == 0) return;
  std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  width_ = 0;
}

}  // namespace QuarloCli
