#include "crypto/caf.hpp"

#include <charconv>
#include <quarlo/error.hpp>
#include <quarlo/types.hpp>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/xml.hpp"
#include "sandbox_error.hpp"
#include "stamping/caf_data.hpp"
#include "stamping/compact_xml.hpp"
#include "stamping/rsa.hpp"

namespace QuarloSandbox {
namespace {

using QuarloCliente::detail::EncodeBase64;
using QuarloCliente::detail::XmlDocPtr;
using namespace QuarloCliente::detail;

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

std::string DaXml(const Caf& caf) {
  return "<DA>" + TextElement("RE", caf.rutEmisor) + TextElement("RS", caf.razonSocial) +
         TextElement("TD", std::to_string(caf.tipoDte)) + "<RNG>" +
         TextElement("D", std::to_string(caf.desde)) + TextElement("H", std::to_string(caf.hasta)) +
         "</RNG>" + TextElement("FA", caf.fechaAutorizacion) + "<RSAPK>" +
         TextElement("M", caf.modulusBase64) + TextElement("E", caf.exponentBase64) + "</RSAPK>" +
         TextElement("IDK", std::to_string(caf.idk)) + "</DA>";
}

// The library reads the CAF; its refusals are the client's fault.
ArchivoCafDatos ReadCaf(const xmlDoc* doc) {
  try {
    return ReadCafDocument(doc);
  } catch (const QuarloCliente::Error& error) {
    Refuse(error.what());
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
  const XmlDocPtr doc = ParseCafBytes(QuarloCliente::Bytes(xml.begin(), xml.end()));
  const ArchivoCafDatos datos = ReadCaf(doc.get());
  if (!datos.clavePrivada) Refuse("el CAF no contiene la clave privada RSASK");
  Caf caf;
  caf.rutEmisor = datos.rutEmisor;
  caf.razonSocial = datos.razonSocial;
  caf.tipoDte = datos.tipoDte;
  caf.desde = static_cast<long>(datos.desde);
  caf.hasta = static_cast<long>(datos.hasta);
  caf.fechaAutorizacion = datos.fechaAutorizacion;
  caf.idk = static_cast<int>(datos.idk);
  caf.modulusBase64 = datos.moduloBase64;
  caf.exponentBase64 = datos.exponenteBase64;
  caf.privateKeyPem = PrivateKeyPem(datos.clavePrivada.get(), true);
  caf.cafXml = datos.cafXml;
  caf.xml = SerializeDocument(doc.get(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  return caf;
}

bool CafSignedBy(const Caf& caf, const AuthorityKey& authority) {
  const XmlDocPtr doc = ParseHeldXml(caf.cafXml.empty() ? caf.xml : caf.cafXml);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  const xmlNode* cafElement =
      root != nullptr && View(root->name) == "CAF" ? root : ChildElement(root, "CAF");
  return QuarloCliente::detail::CafSignedBy(cafElement,
                                            ReadPublicKeyPem(authority.publicPem).get());
}

}  // namespace QuarloSandbox
