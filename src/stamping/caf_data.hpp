#pragma once

#include <libxml/tree.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <quarlo/caf.hpp>
#include <string>

namespace QuarloCliente::detail {

// What a CAF file says, read once; the keys are shared between copies since nothing changes
// them after reading.
struct ArchivoCafDatos {
  std::string rutEmisor;
  std::string razonSocial;
  std::int32_t tipoDte = 0;
  std::int64_t desde = 0;
  std::int64_t hasta = 0;
  std::string fechaAutorizacion;
  std::int64_t idk = 0;
  std::string moduloBase64;
  std::string exponenteBase64;
  std::string firmaCaf;  // CAF/FRMA, Base64
  std::string cafXml;
  std::shared_ptr<EVP_PKEY> clavePublica;
  std::shared_ptr<EVP_PKEY> clavePrivada;  // null when the file holds no RSASK
};

// The CAF read from a parsed AUTORIZACION document's root; throws Error saying what is wrong.
ArchivoCafDatos ReadCafFile(const xmlNode* autorizacion);

// The CAF element of a DD or AUTORIZACION read with its public key (no private key, no check of
// a missing RSASK); throws Error saying what is wrong.
ArchivoCafDatos ReadCafElement(const xmlNode* caf);

}  // namespace QuarloCliente::detail
