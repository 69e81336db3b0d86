#include "crypto/ted.hpp"

#include <quarlo/error.hpp>

#include "core/base64.hpp"
#include "core/xml.hpp"
#include "crypto/compact_xml.hpp"
#include "crypto/rsa.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {
namespace {

using QuarloCliente::detail::XmlDocPtr;
using namespace detail;

constexpr std::size_t kNameLimit = 40;

std::string Value(std::string_view name, const std::string& text) {
  return TextElement(name, IsoSafeText(text));
}

// The CAF in the written form that VerifyTed will rebuild from the TED, whatever spacing the
// stored copy has.
std::string CompactCaf(const Caf& caf) {
  const XmlDocPtr doc = QuarloCliente::detail::ParseHeldXml(caf.cafXml);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr || QuarloCliente::detail::View(root->name) != "CAF") {
    throw SandboxError(500, "el CAF guardado no contiene un elemento CAF");
  }
  return CompactXml(root);
}

std::string DdXml(const TedFields& fields, const Caf& caf) {
  return "<DD>" + Value("RE", fields.re) + Value("TD", fields.td) + Value("F", fields.f) +
         Value("FE", fields.fe) + Value("RR", fields.rr) +
         Value("RSR", FirstCharacters(IsoSafeText(fields.rsr), kNameLimit)) +
         Value("MNT", fields.mnt) +
         Value("IT1", FirstCharacters(IsoSafeText(fields.it1), kNameLimit)) + CompactCaf(caf) +
         Value("TSTED", fields.tsted) + "</DD>";
}

// The TED's DD element, or nullptr when the document is not a TED.
const xmlNode* TedData(xmlDoc* doc) {
  const xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
  if (root == nullptr || QuarloCliente::detail::View(root->name) != "TED") return nullptr;
  return ChildElement(root, "DD");
}

PkeyPtr CafPublicKey(const xmlNode* dd) {
  const xmlNode* publicKey = ChildElement(ChildElement(ChildElement(dd, "CAF"), "DA"), "RSAPK");
  if (publicKey == nullptr) return nullptr;
  return RsaPublicKey(QuarloCliente::detail::DecodeBase64(ChildText(publicKey, "M")),
                      QuarloCliente::detail::DecodeBase64(ChildText(publicKey, "E")));
}

}  // namespace

std::string StampTed(const TedFields& fields, const Caf& caf) {
  const PkeyPtr key = ReadPrivateKeyPem(caf.privateKeyPem);
  if (!key) throw SandboxError(500, "el CAF guardado no tiene una clave privada RSA válida");
  const std::string dd = DdXml(fields, caf);
  const std::string frmt =
      QuarloCliente::detail::EncodeBase64(SignSha1(key.get(), SignedBytes(dd)));
  return "<TED version=\"1.0\">" + dd + "<FRMT algoritmo=\"SHA1withRSA\">" + frmt + "</FRMT></TED>";
}

TedFields ReadTed(std::string_view tedXml) {
  const XmlDocPtr doc = QuarloCliente::detail::ParseHeldXml(tedXml);
  const xmlNode* dd = TedData(doc.get());
  if (dd == nullptr) throw SandboxError(400, "el TED no es un elemento TED con DD");
  TedFields fields;
  fields.re = ChildText(dd, "RE");
  fields.td = ChildText(dd, "TD");
  fields.f = ChildText(dd, "F");
  fields.fe = ChildText(dd, "FE");
  fields.rr = ChildText(dd, "RR");
  fields.rsr = ChildText(dd, "RSR");
  fields.mnt = ChildText(dd, "MNT");
  fields.it1 = ChildText(dd, "IT1");
  fields.tsted = ChildText(dd, "TSTED");
  return fields;
}

bool VerifyTed(std::string_view tedXml) {
  const XmlDocPtr doc = QuarloCliente::detail::ParseHeldXml(tedXml);
  const xmlNode* dd = TedData(doc.get());
  if (dd == nullptr) return false;
  try {
    const PkeyPtr key = CafPublicKey(dd);
    const QuarloCliente::Bytes signature =
        QuarloCliente::detail::DecodeBase64(ChildText(dd->parent, "FRMT"));
    return key && VerifySha1(key.get(), SignedBytes(CompactXml(dd)), signature);
  } catch (const QuarloCliente::Error&) {
    return false;  // M, E or FRMT is not Base64
  }
}

}  // namespace QuarloSandbox
