#pragma once

// What enviar tells on stderr while and after it sends many files: a progress line rewritten in
// place on a terminal, and a summary line at the end.

#include <chrono>
#include <quarlo/resultados.hpp>
#include <string>

namespace QuarloCli {

// How the files of one run have ended so far.
struct SendCounts {
  int total = 0;
  int enviados = 0;
  int rechazados = 0;
  int locales = 0;
  int sinComunicacion = 0;

  // Counts one file by its failure kind.
  void Add(QuarloCliente::TipoFallo fallo);
  int Done() const { return enviados + rechazados + locales + sinComunicacion; }
  int Failures() const { return Done() - enviados; }
};

// "N enviados, M rechazados, K con errores locales", and those the service never answered when
// there are any.
std::string SummaryLine(const SendCounts& counts);

// The line "done/total, rate per second, failures" on stderr, shown only when stderr is a
// terminal and there is more than one file; rewritten in place with a carriage return.
class ProgressLine {
 public:
  explicit ProgressLine(int total);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  // Clears the line, so that nothing is left of it when the run ends early.
  ~ProgressLine();

  // Writes the line for the counts, over the one before.
  void Show(const SendCounts& counts);
  // Blanks the line and returns to its start, before a record or a warning is written.
  void Clear();

 private:
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::size_t width_ = 0;
};

}  // namespace QuarloCli
