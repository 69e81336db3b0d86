#include "core/failure.hpp"

namespace QuarloCliente::detail {

namespace {
thread_local AnswerScope* innermost = nullptr;
}  // namespace

AnswerScope::AnswerScope(bool answerInHand)
    : answered_(answerInHand || (innermost != nullptr && innermost->answered_)), outer_(innermost) {
  innermost = this;
}

AnswerScope::~AnswerScope() {
  innermost = outer_;
  // An operation run inside another (a parse of the answer, a retrieval before a load) leaves
  // the outer one reading what the service sent.
  if (outer_ != nullptr && answered_) outer_->answered_ = true;
}

void AnswerScope::NoteAnswer() {
  if (innermost != nullptr) innermost->answered_ = true;
}

TipoFallo AnswerScope::KindOfUntyped() const {
  return answered_ ? TipoFallo::RespuestaInvalida : TipoFallo::ErrorLocal;
}

}  // namespace QuarloCliente::detail
