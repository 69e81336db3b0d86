#include "crypto/signing_caf.hpp"

#include <mutex>
#include <unordered_map>

#include "core/xml.hpp"
#include "sandbox_error.hpp"
#include "stamping/compact_xml.hpp"

namespace QuarloSandbox {

namespace {

namespace qd = QuarloCliente::detail;

// More CAFs than any test run uploads; past it the cache starts again rather than grow.
constexpr std::size_t kKeptCafs = 1024;

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

SigningCaf ReadSigningCaf(const Caf& caf) {
  SigningCaf signing{caf.modulusBase64, CompactCaf(caf), qd::ReadPrivateKeyPem(caf.privateKeyPem)};
  if (!signing.key)
    throw SandboxError(500, "el CAF guardado no tiene una clave privada RSA válida");
  return signing;
}

std::shared_ptr<const SigningCaf> StoredSigningCaf(const std::string& storedXml) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::shared_ptr<const SigningCaf>> kept;
  {
    const std::lock_guard lock(mutex);
    if (const auto found = kept.find(storedXml); found != kept.end()) return found->second;
  }
  // Read outside the lock: two requests reading the same CAF at once both get a correct copy.
  auto signing = std::make_shared<const SigningCaf>(ReadSigningCaf(ParseCaf(storedXml)));
  const std::lock_guard lock(mutex);
  if (kept.size() >= kKeptCafs) kept.clear();
  kept.emplace(storedXml, signing);
  return signing;
}

}  // namespace QuarloSandbox
