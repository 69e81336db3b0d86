#include "service/ted.hpp"

#include <quarlo/error.hpp>
#include <quarlo/timbre.hpp>

#include "sandbox_error.hpp"
#include "stamping/ted_signing.hpp"

namespace QuarloSandbox {
namespace qd = QuarloCliente::detail;

std::string StampTed(const TedFields& fields, const SigningCaf& caf) {
  return qd::SignTed(fields, caf.compactCaf, caf.key.get());
}

std::string StampTed(const TedFields& fields, const Caf& caf) {
  return StampTed(fields, ReadSigningCaf(caf));
}

TedFields ReadTed(std::string_view tedXml) {
  try {
    return qd::ReadTedStamp(tedXml);
  } catch (const QuarloCliente::Error& error) {
    throw SandboxError(400, error.what());
  }
}

bool VerifyTed(std::string_view tedXml) {
  return QuarloCliente::VerificarTimbre(tedXml).Valido;
}

}  // namespace QuarloSandbox
