#pragma once

#include <quarlo/error.hpp>
#include <quarlo/resultados.hpp>
#include <string>

namespace QuarloCliente::detail {

// An Error that knows why the operation failed, thrown where the kind is known for certain (the
// transport, the answer readers, a refusal before sending); ReportFailures records its kind.
class Failure : public Error {
 public:
  Failure(TipoFallo kind, const std::string& what) : Error(what), kind_(kind) {}

  // Why the operation failed.
  TipoFallo Kind() const noexcept { return kind_; }

 private:
  TipoFallo kind_;
};

// Whether an answer of the service has arrived during the innermost operation running on this
// thread, so that an error without a kind can be told apart: before any answer it is the caller's
// (ErrorLocal), after one it is the answer's (RespuestaInvalida). A scope starts with what its
// enclosing scope knows, and hands an arrival back to it when it ends.
class AnswerScope {
 public:
  // With answerInHand, the scope's work reads an answer that arrived before it began.
  explicit AnswerScope(bool answerInHand = false);
  ~AnswerScope();
  AnswerScope(const AnswerScope&) = delete;
  AnswerScope& operator=(const AnswerScope&) = delete;

  // Records in the innermost scope of this thread that an answer arrived; nothing when there is
  // none.
  static void NoteAnswer();
  // The kind of an error that carries none: RespuestaInvalida once an answer arrived, else
  // ErrorLocal.
  TipoFallo KindOfUntyped() const;

 private:
  bool answered_;
  AnswerScope* outer_;
};

}  // namespace QuarloCliente::detail
