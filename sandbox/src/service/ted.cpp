#include "service/ted.hpp"

#include <quarlo/error.hpp>
#include <quarlo/timbre.hpp>

#include "core/xml.hpp"
#include "sandbox_error.hpp"
#include "stamping/compact_xml.hpp"
#include "stamping/rsa.hpp"

namespace QuarloSandbox {
namespace {

namespace qd = QuarloCliente::detail;

// The CAF in the written form that verification rebuilds from the TED, whatever spacing the
// stored copy has.
std::string CompactCaf(const Caf& caf) {
  const qd::XmlDocPtr doc = qd::ParseHeldXml(caf.cafXml);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr || qd::View(root->name) != "CAF") {
    throw SandboxError(500, "el CAF guardado no contiene un elemento CAF");
  }
  return qd::CompactXml(root);
}

}  // namespace

std::string StampTed(const TedFields& fields, const Caf& caf) {
  const qd::PkeyPtr key = qd::ReadPrivateKeyPem(caf.privateKeyPem);
  if (!key) throw SandboxError(500, "el CAF guardado no tiene una clave privada RSA válida");
  return qd::SignTed(fields, CompactCaf(caf), key.get());
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
