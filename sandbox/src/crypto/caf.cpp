#include "crypto/caf.hpp"

#include <charconv>
#include <quarlo/error.hpp>
#include <quarlo/types.hpp>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/xml.hpp"
#include "crypto/compact_xml.hpp"
#include "crypto/rsa.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {
namespace {

using QuarloCliente::detail::EncodeBase64;
using QuarloCliente::detail::XmlDocPtr;
using namespace detail;

// The SII's own CAFs carry 512-bit keys, and the TED must stay small enough for a PDF417
// symbol: with the CAF's modulus, its FRMA and the TED's FRMT all inside it, 1024-bit CAF keys
// and a 2048-bit authority make a TED of about 1.3 KB, more than any PDF417 symbol holds.
constexpr unsigned kCafKeyBits = 512;
// The DA's RS, like the TED's RSR and IT1, is at most 40 characters in the SII's schema.
constexpr std::size_t kRsLimit = 40;
constexpr int kTestIdk = 100;

[[noreturn]] void Refuse(const std::string& description) {
  throw SandboxError(400, description);
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return false;
  text = text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string DaXml(const Caf& caf) {
  return "<DA>" + TextElement("RE", caf.rutEmisor) + TextElement("RS", caf.razonSocial) +
         TextElement("TD", std::to_string(caf.tipoDte)) + "<RNG>" +
         TextElement("D", std::to_string(caf.desde)) + TextElement("H", std::to_string(caf.hasta)) +
         "</RNG>" + TextElement("FA", caf.fechaAutorizacion) + "<RSAPK>" +
         TextElement("M", caf.modulusBase64) + TextElement("E", caf.exponentBase64) + "</RSAPK>" +
         TextElement("IDK", std::to_string(caf.idk)) + "</DA>";
}

// Real CAF files are ISO-8859-1 without saying so in their declaration; such bytes are not
// well-formed UTF-8, so they are read a second time as ISO-8859-1.
XmlDocPtr ParseCafBytes(std::string_view bytes) {
  XmlDocPtr doc = QuarloCliente::detail::ParseNetworkXml(bytes);
  if (doc) return doc;
  const std::span<const std::uint8_t> raw(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          bytes.size());
  return QuarloCliente::detail::ParseHeldXml(QuarloCliente::detail::Latin1ToUtf8(raw));
}

// The CAF element of a text holding either <CAF> alone or a whole <AUTORIZACION>.
xmlNode* CafElement(xmlDoc* doc) {
  xmlNode* root = xmlDocGetRootElement(doc);
  if (root == nullptr) return nullptr;
  return QuarloCliente::detail::View(root->name) == "CAF" ? root : ChildElement(root, "CAF");
}

QuarloCliente::Bytes DecodeKeyPart(const std::string& base64, const char* what) {
  try {
    return QuarloCliente::detail::DecodeBase64(base64);
  } catch (const QuarloCliente::Error&) {
    Refuse(std::string("el valor ") + what + " de RSAPK del CAF no es Base64");
  }
}

void ReadDa(const xmlNode* da, Caf& caf) {
  caf.rutEmisor = ChildText(da, "RE");
  caf.razonSocial = ChildText(da, "RS");
  caf.fechaAutorizacion = ChildText(da, "FA");
  if (caf.rutEmisor.empty()) Refuse("el CAF no indica el RUT emisor (DA/RE)");
  if (!ParseNumber(ChildText(da, "TD"), caf.tipoDte) || caf.tipoDte <= 0) {
    Refuse("el tipo de documento del CAF (DA/TD) no es un número");
  }
  const xmlNode* range = ChildElement(da, "RNG");
  if (!ParseNumber(ChildText(range, "D"), caf.desde) ||
      !ParseNumber(ChildText(range, "H"), caf.hasta)) {
    Refuse("el rango de folios del CAF (DA/RNG) no es numérico");
  }
  if (caf.desde < 1 || caf.hasta < caf.desde) Refuse("el rango de folios del CAF no es válido");
  const std::string idk = ChildText(da, "IDK");
  if (!idk.empty() && !ParseNumber(idk, caf.idk)) Refuse("el IDK del CAF no es un número");
  const xmlNode* publicKey = ChildElement(da, "RSAPK");
  caf.modulusBase64 = ChildText(publicKey, "M");
  caf.exponentBase64 = ChildText(publicKey, "E");
}

void CheckKeys(const xmlNode* authorization, Caf& caf) {
  const PkeyPtr published =
      RsaPublicKey(DecodeKeyPart(caf.modulusBase64, "M"), DecodeKeyPart(caf.exponentBase64, "E"));
  if (!published) Refuse("el CAF no contiene una clave pública RSA válida en DA/RSAPK");
  caf.privateKeyPem = ChildText(authorization, "RSASK");
  if (caf.privateKeyPem.find_first_not_of(" \t\r\n") == std::string::npos) {
    Refuse("el CAF no contiene la clave privada RSASK");
  }
  const PkeyPtr privateKey = ReadPrivateKeyPem(caf.privateKeyPem);
  if (!privateKey) Refuse("la clave privada RSASK del CAF no es una clave RSA");
  if (!SamePublicKey(privateKey.get(), published.get())) {
    Refuse("la clave privada RSASK del CAF no corresponde a su clave pública RSAPK");
  }
  // RSAPUBK is optional, but when present it must be the same key again.
  if (ChildElement(authorization, "RSAPUBK") == nullptr) return;
  const PkeyPtr pubk = ReadPublicKeyPem(ChildText(authorization, "RSAPUBK"));
  if (!pubk || !SamePublicKey(pubk.get(), published.get())) {
    Refuse("la clave RSAPUBK del CAF no corresponde a su clave pública RSAPK");
  }
}

}  // namespace

Caf IssueTestCaf(const std::string& rutEmisor, const std::string& razonSocial, int tipoDte,
                 long desde, long hasta, const AuthorityKey& authority) {
  if (rutEmisor.empty()) Refuse("falta el RUT emisor del CAF");
  if (tipoDte <= 0) Refuse("el tipo de documento del CAF debe ser positivo");
  if (desde < 1 || hasta < desde) Refuse("el rango de folios del CAF no es válido");
  const PkeyPtr authorityKey = ReadPrivateKeyPem(authority.privatePem);
  if (!authorityKey) throw SandboxError(500, "la clave de la autoridad de folios no es válida");

  const PkeyPtr key = GenerateRsaKey(kCafKeyBits);
  Caf caf;
  caf.rutEmisor = IsoSafeText(rutEmisor);
  caf.razonSocial = FirstCharacters(IsoSafeText(razonSocial), kRsLimit);
  caf.tipoDte = tipoDte;
  caf.desde = desde;
  caf.hasta = hasta;
  caf.fechaAutorizacion = QuarloCliente::FormatDate(QuarloCliente::Now(), "yyyy-MM-dd");
  caf.idk = kTestIdk;
  caf.modulusBase64 = EncodeBase64(RsaModulus(key.get()));
  caf.exponentBase64 = EncodeBase64(RsaExponent(key.get()));
  caf.privateKeyPem = PrivateKeyPem(key.get(), true);

  const std::string da = DaXml(caf);
  const std::string frma = EncodeBase64(SignSha1(authorityKey.get(), SignedBytes(da)));
  caf.cafXml =
      "<CAF version=\"1.0\">" + da + "<FRMA algoritmo=\"SHA1withRSA\">" + frma + "</FRMA></CAF>";
  caf.xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AUTORIZACION>" + caf.cafXml +
            TextElement("RSASK", caf.privateKeyPem) +
            TextElement("RSAPUBK", PublicKeyPem(key.get())) + "</AUTORIZACION>\n";
  return caf;
}

Caf ParseCaf(std::string_view xml) {
  const XmlDocPtr doc = ParseCafBytes(xml);
  if (!doc) Refuse("el CAF no es un documento XML");
  const xmlNode* authorization = xmlDocGetRootElement(doc.get());
  if (QuarloCliente::detail::View(authorization->name) != "AUTORIZACION") {
    Refuse("el CAF no es un documento AUTORIZACION");
  }
  const xmlNode* cafElement = ChildElement(authorization, "CAF");
  const xmlNode* da = ChildElement(cafElement, "DA");
  if (da == nullptr) Refuse("el CAF no contiene los datos de autorización CAF/DA");

  Caf caf;
  ReadDa(da, caf);
  CheckKeys(authorization, caf);
  caf.cafXml = CompactXml(cafElement);
  caf.xml = QuarloCliente::detail::SerializeDocument(doc.get(),
                                                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  return caf;
}

bool CafSignedBy(const Caf& caf, const AuthorityKey& authority) {
  const XmlDocPtr doc =
      QuarloCliente::detail::ParseHeldXml(caf.cafXml.empty() ? caf.xml : caf.cafXml);
  const xmlNode* cafElement = doc ? CafElement(doc.get()) : nullptr;
  const xmlNode* da = ChildElement(cafElement, "DA");
  const PkeyPtr key = ReadPublicKeyPem(authority.publicPem);
  if (da == nullptr || !key) return false;
  QuarloCliente::Bytes signature;
  try {
    signature = QuarloCliente::detail::DecodeBase64(ChildText(cafElement, "FRMA"));
  } catch (const QuarloCliente::Error&) {
    return false;
  }
  return VerifySha1(key.get(), SignedBytes(CompactXml(da)), signature);
}

}  // namespace QuarloSandbox
