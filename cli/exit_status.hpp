#pragma once

#include <quarlo/resultados.hpp>

namespace QuarloCli {

// The exit statuses `quarlo --help` documents.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnreachable = 3;
inline constexpr int kExitLocal = 4;

// What a run's results add up to, told by their failure kinds alone: a local fault outweighs
// a service that could not be reached, which outweighs a refusal.
class ExitTally {
 public:
  // Counts one result of the service or of a local check.
  void Note(QuarloCliente::TipoFallo fallo);
  // Counts a file or document at fault before anything was sent.
  void NoteLocal() { Note(QuarloCliente::TipoFallo::ErrorLocal); }
  int Status() const { return status_; }
  int Failures() const { return failures_; }

 private:
  int status_ = kExitOk;
  int failures_ = 0;
};

// The exit status a failure kind stands for on its own.
int ExitStatusOf(QuarloCliente::TipoFallo fallo);

}  // namespace QuarloCli
