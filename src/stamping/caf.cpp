#include <charconv>
#include <quarlo/caf.hpp>
#include <quarlo/error.hpp>

#include "core/base64.hpp"
#include "core/document_bytes.hpp"
#include "core/xml.hpp"
#include "stamping/caf_data.hpp"
#include "stamping/compact_xml.hpp"
#include "stamping/rsa.hpp"

namespace QuarloCliente {
namespace detail {
namespace {

[[noreturn]] void Refuse(const std::string& description) {
  throw Error("CAF no válido: " + description);
}

// A CAF file is a few kilobytes; anything far larger is refused before parsing.
constexpr std::size_t kMaxCafBytes = 256 * 1024;

void CheckSize(std::size_t size) {
  if (size > kMaxCafBytes) Refuse("el archivo excede el tamaño máximo de 256 KiB");
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return false;
  text = text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::shared_ptr<EVP_PKEY> Shared(PkeyPtr key) {
  return std::shared_ptr<EVP_PKEY>(key.release(), PkeyFree());
}

Bytes DecodeKeyPart(const std::string& base64, const char* what) {
  try {
    return DecodeBase64(base64);
  } catch (const Error&) {
    Refuse(std::string("el valor ") + what + " de RSAPK no es Base64");
  }
}

void ReadDa(const xmlNode* da, ArchivoCafDatos& caf) {
  caf.rutEmisor = ChildText(da, "RE");
  caf.razonSocial = ChildText(da, "RS");
  caf.fechaAutorizacion = ChildText(da, "FA");
  if (caf.rutEmisor.empty()) Refuse("no indica el RUT emisor (DA/RE)");
  if (!ParseNumber(ChildText(da, "TD"), caf.tipoDte) || caf.tipoDte <= 0) {
    Refuse("el tipo de documento (DA/TD) no es un número");
  }
  const xmlNode* range = ChildElement(da, "RNG");
  if (!ParseNumber(ChildText(range, "D"), caf.desde) ||
      !ParseNumber(ChildText(range, "H"), caf.hasta)) {
    Refuse("el rango de folios (DA/RNG) no es numérico");
  }
  if (caf.desde < 1 || caf.hasta < caf.desde) Refuse("el rango de folios está invertido o vacío");
  const std::string idk = ChildText(da, "IDK");
  if (!idk.empty() && !ParseNumber(idk, caf.idk)) Refuse("el IDK no es un número");
  const xmlNode* publicKey = ChildElement(da, "RSAPK");
  caf.moduloBase64 = ChildText(publicKey, "M");
  caf.exponenteBase64 = ChildText(publicKey, "E");
  caf.clavePublica = Shared(
      RsaPublicKey(DecodeKeyPart(caf.moduloBase64, "M"), DecodeKeyPart(caf.exponenteBase64, "E")));
  if (!caf.clavePublica) Refuse("no contiene una clave pública RSA válida en DA/RSAPK");
}

// The RSASK must be the private half of RSAPK, and RSAPUBK, when present, RSAPK again: a CAF
// whose keys disagree stamps TEDs nobody can verify.
void ReadPrivateKey(const xmlNode* autorizacion, ArchivoCafDatos& caf) {
  const xmlNode* rsask = ChildElement(autorizacion, "RSASK");
  if (rsask != nullptr) {
    caf.clavePrivada = Shared(ReadPrivateKeyPem(NodeText(rsask)));
    if (!caf.clavePrivada) Refuse("la clave privada RSASK no es una clave RSA");
    if (!SamePublicKey(caf.clavePrivada.get(), caf.clavePublica.get())) {
      Refuse("la clave privada RSASK no corresponde a la clave pública RSAPK");
    }
  }
  if (ChildElement(autorizacion, "RSAPUBK") == nullptr) return;
  const PkeyPtr pubk = ReadPublicKeyPem(ChildText(autorizacion, "RSAPUBK"));
  if (!pubk || !SamePublicKey(pubk.get(), caf.clavePublica.get())) {
    Refuse("la clave RSAPUBK no corresponde a la clave pública RSAPK");
  }
}

}  // namespace

ArchivoCafDatos ReadCafElement(const xmlNode* caf) {
  const xmlNode* da = ChildElement(caf, "DA");
  if (da == nullptr) Refuse("no contiene los datos de autorización CAF/DA");
  ArchivoCafDatos datos;
  ReadDa(da, datos);
  datos.firmaCaf = ChildText(caf, "FRMA");
  datos.cafXml = CompactXml(caf);
  return datos;
}

XmlDocPtr ParseCafBytes(const Bytes& bytes) {
  CheckSize(bytes.size());
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  try {
    return ParseHeldXml(DocumentBytesToUtf8(text));
  } catch (const Error& e) {
    Refuse(e.what());  // an encoding the library does not read, or a byte foreign to it
  }
}

ArchivoCafDatos ReadCafDocument(const xmlDoc* doc) {
  const xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
  if (root == nullptr) Refuse("no es un documento XML");
  if (View(root->name) != "AUTORIZACION") Refuse("no es un documento AUTORIZACION");
  ArchivoCafDatos datos = ReadCafElement(ChildElement(root, "CAF"));
  ReadPrivateKey(root, datos);
  return datos;
}

bool CafSignedBy(const xmlNode* caf, EVP_PKEY* authority) {
  const xmlNode* da = ChildElement(caf, "DA");
  if (da == nullptr || authority == nullptr) return false;
  try {
    return VerifySha1(authority, SignedBytes(CompactXml(da)), DecodeBase64(ChildText(caf, "FRMA")));
  } catch (const Error&) {
    return false;  // FRMA is not Base64
  }
}

}  // namespace detail

ArchivoCaf ArchivoCaf::DesdeTexto(std::string_view texto) {
  detail::CheckSize(texto.size());
  const detail::XmlDocPtr doc = detail::ParseHeldXml(texto);
  return ArchivoCaf(std::make_unique<detail::ArchivoCafDatos>(detail::ReadCafDocument(doc.get())));
}

ArchivoCaf ArchivoCaf::DesdeBytes(const Bytes& bytes) {
  const detail::XmlDocPtr doc = detail::ParseCafBytes(bytes);
  return ArchivoCaf(std::make_unique<detail::ArchivoCafDatos>(detail::ReadCafDocument(doc.get())));
}

ArchivoCaf::ArchivoCaf(std::unique_ptr<detail::ArchivoCafDatos> datos) : datos_(std::move(datos)) {}
ArchivoCaf::ArchivoCaf(const ArchivoCaf& other)
    : datos_(std::make_unique<detail::ArchivoCafDatos>(*other.datos_)) {}
ArchivoCaf& ArchivoCaf::operator=(const ArchivoCaf& other) {
  if (this != &other) datos_ = std::make_unique<detail::ArchivoCafDatos>(*other.datos_);
  return *this;
}
ArchivoCaf::ArchivoCaf(ArchivoCaf&& other) noexcept = default;
ArchivoCaf& ArchivoCaf::operator=(ArchivoCaf&& other) noexcept = default;
ArchivoCaf::~ArchivoCaf() = default;

const std::string& ArchivoCaf::RutEmisor() const {
  return datos_->rutEmisor;
}
const std::string& ArchivoCaf::RazonSocial() const {
  return datos_->razonSocial;
}
std::int32_t ArchivoCaf::TipoDte() const {
  return datos_->tipoDte;
}
std::int64_t ArchivoCaf::FolioDesde() const {
  return datos_->desde;
}
std::int64_t ArchivoCaf::FolioHasta() const {
  return datos_->hasta;
}
bool ArchivoCaf::IncluyeFolio(std::int64_t folio) const {
  return folio >= datos_->desde && folio <= datos_->hasta;
}
const std::string& ArchivoCaf::FechaAutorizacion() const {
  return datos_->fechaAutorizacion;
}
std::int64_t ArchivoCaf::Idk() const {
  return datos_->idk;
}
const std::string& ArchivoCaf::ModuloBase64() const {
  return datos_->moduloBase64;
}
const std::string& ArchivoCaf::ExponenteBase64() const {
  return datos_->exponenteBase64;
}
std::string ArchivoCaf::ClavePublicaPem() const {
  return detail::PublicKeyPem(datos_->clavePublica.get());
}
bool ArchivoCaf::TieneClavePrivada() const {
  return datos_->clavePrivada != nullptr;
}
const std::string& ArchivoCaf::CafXml() const {
  return datos_->cafXml;
}

bool ArchivoCaf::FirmadoPor(std::string_view clavePublicaAutoridadPem) const {
  const detail::PkeyPtr key = detail::ReadPublicKeyPem(clavePublicaAutoridadPem);
  const detail::XmlDocPtr doc = detail::ParseHeldXml(datos_->cafXml);
  return doc && detail::CafSignedBy(xmlDocGetRootElement(doc.get()), key.get());
}

std::string ArchivoCaf::ToString() const {
  return "CAF de " + datos_->rutEmisor + " tipo " + std::to_string(datos_->tipoDte) + " folios " +
         std::to_string(datos_->desde) + "-" + std::to_string(datos_->hasta) + " IDK " +
         std::to_string(datos_->idk) + (TieneClavePrivada() ? " con clave privada" : "");
}

}  // namespace QuarloCliente
