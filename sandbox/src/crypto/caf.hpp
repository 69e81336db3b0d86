#pragma once

#include <string>
#include <string_view>

namespace QuarloSandbox {

// The sandbox's own folio authority: the RSA key pair that signs the DA of every test CAF it
// issues, standing in for the tax authority's. Kept as PEM text.
struct AuthorityKey {
  std::string privatePem;
  std::string publicPem;

  // A new 1024-bit RSA key pair (its signatures go into every TED, which a PDF417 symbol must
  // hold).
  static AuthorityKey Generate();
  // The key kept in the PEM file at path, created (with a new key, mode 0600) when absent;
  // throws SandboxError(500, ...) when the file cannot be read or written.
  static AuthorityKey LoadOrCreate(const std::string& path);
};

// One CAF: an AUTORIZACION document granting an issuer a range of folios of one document type,
// with the range's own RSA key pair (public part in DA/RSAPK, private part in RSASK).
struct Caf {
  std::string xml;     // the whole AUTORIZACION document, UTF-8 text
  std::string cafXml;  // the <CAF version="1.0">...</CAF> element alone, as a TED embeds it
  std::string rutEmisor;
  std::string razonSocial;
  int tipoDte = 0;
  long desde = 0;
  long hasta = 0;
  std::string fechaAutorizacion;  // AAAA-MM-DD
  int idk = 0;
  std::string modulusBase64;   // RSAPK/M
  std::string exponentBase64;  // RSAPK/E
  std::string privateKeyPem;   // RSASK
};

// A new test CAF for the issuer, type and range (dated today, IDK 100), with a fresh 512-bit
// RSA key pair as the SII's CAFs have, its DA signed (SHA1withRSA, FRMA) with the authority's
// key over the DA's ISO-8859-1 text. The name is cut to the 40 characters the SII allows.
Caf IssueTestCaf(const std::string& rutEmisor, const std::string& razonSocial, int tipoDte,
                 long desde, long hasta, const AuthorityKey& authority);

// The CAF an AUTORIZACION document holds, given as the file's bytes: decoded as their XML
// declaration says, or as ISO-8859-1 when they are not well-formed UTF-8 (the SII's own files
// are ISO-8859-1 and do not say so). Throws SandboxError(400, ...) with a description of
// what is missing or wrong (not XML, no CAF/DA, a range that is not numbers, no RSASK, a key
// that does not match RSAPK).
Caf ParseCaf(std::string_view xml);

// True when the CAF's FRMA is the authority's signature of its DA (written without whitespace
// between elements, as ISO-8859-1).
bool CafSignedBy(const Caf& caf, const AuthorityKey& authority);

}  // namespace QuarloSandbox
