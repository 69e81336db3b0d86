#pragma once

#include <memory>
#include <string>

#include "crypto/caf.hpp"
#include "stamping/rsa.hpp"

namespace QuarloSandbox {

// A CAF made ready to stamp with: its private key read and its CAF element in the compact form
// a TED embeds.
struct SigningCaf {
  std::string modulusBase64;  // RSAPK/M, as the CAF writes it
  std::string compactCaf;
  QuarloCliente::detail::PkeyPtr key;
};

// The CAF's signing form; throws SandboxError(500, ...) when its private key is not RSA.
SigningCaf ReadSigningCaf(const Caf& caf);

// The signing form of a CAF the store holds (its AUTORIZACION document), read once per process
// and then shared: a stored CAF never changes, and reading one (the XML, the PEM key, the check
// that its keys match) costs many times what signing with it does. Safe from any thread.
std::shared_ptr<const SigningCaf> StoredSigningCaf(const std::string& storedXml);

}  // namespace QuarloSandbox
