#pragma once

#include <libxml/tree.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <quarlo/caf.hpp>
#include <string>

#include "core/xml.hpp"

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

// A CAF file's bytes parsed: UTF-8 or as their declaration says, else read as ISO-8859-1 (the
// SII's files are ISO-8859-1 without saying so); null when they are not XML.
XmlDocPtr ParseCafBytes(const Bytes& bytes);

// The CAF of a parsed AUTORIZACION document (null when the text was not XML); throws Error
// saying what is wrong.
ArchivoCafDatos ReadCafDocument(const xmlDoc* doc);

// The CAF element of a DD or AUTORIZACION read with its public key (no private key, no check of
// a missing RSASK); throws Error saying what is wrong.
ArchivoCafDatos ReadCafElement(const xmlNode* caf);

// True when the CAF element's FRMA is the authority's SHA1withRSA signature of its DA.
bool CafSignedBy(const xmlNode* caf, EVP_PKEY* authority);

}  // namespace QuarloCliente::detail
