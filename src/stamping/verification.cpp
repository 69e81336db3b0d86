#include <optional>
#include <quarlo/error.hpp>
#include <quarlo/timbre.hpp>

#include "binding/ted_comparison.hpp"
#include "core/base64.hpp"
#include "core/xml.hpp"
#include "stamping/caf_data.hpp"
#include "stamping/compact_xml.hpp"
#include "stamping/rsa.hpp"

namespace QuarloCliente {
namespace {

using Outcome = std::optional<std::string>;  // the reason a check failed, none when it passed

// The TED's DD, parsed with the library's safe parser (no entities, size caps).
struct ParsedTed {
  detail::XmlDocPtr doc;
  const xmlNode* ted = nullptr;
  const xmlNode* dd = nullptr;
};

// A TED is about a kilobyte (it must fit in a PDF417 symbol); anything far larger is refused
// before parsing.
constexpr std::size_t kMaxTedBytes = 64 * 1024;

Outcome Parse(std::string_view text, ParsedTed& parsed) {
  if (text.size() > kMaxTedBytes) return "el TED excede el tamaño máximo de 64 KiB";
  parsed.doc = detail::ParseHeldXml(text);
  parsed.ted = parsed.doc ? xmlDocGetRootElement(parsed.doc.get()) : nullptr;
  if (parsed.ted == nullptr) return "el TED no es XML bien formado";
  if (detail::View(parsed.ted->name) != "TED") return "el XML no es un elemento TED";
  parsed.dd = detail::ChildElement(parsed.ted, "DD");
  if (parsed.dd == nullptr) return "el TED no contiene DD";
  return std::nullopt;
}

Outcome CheckSignature(const ParsedTed& parsed, const detail::ArchivoCafDatos& caf) {
  Bytes frmt;
  try {
    frmt = detail::DecodeBase64(detail::ChildText(parsed.ted, "FRMT"));
  } catch (const Error&) {
    return "la firma FRMT del TED no es Base64";
  }
  if (frmt.empty()) return "el TED no contiene la firma FRMT";
  const auto signedBytes = detail::SignedBytes(detail::CompactXml(parsed.dd));
  if (!detail::VerifySha1(caf.clavePublica.get(), signedBytes, frmt)) {
    return "la firma FRMT no corresponde a DD con la clave pública RSAPK del CAF";
  }
  return std::nullopt;
}

Outcome CheckAuthority(const ParsedTed& parsed, std::string_view authorityPem) {
  if (authorityPem.empty()) return std::nullopt;
  const detail::PkeyPtr key = detail::ReadPublicKeyPem(authorityPem);
  if (!key) return "la clave pública de la autoridad no es una clave RSA en PEM";
  if (!detail::CafSignedBy(detail::ChildElement(parsed.dd, "CAF"), key.get())) {
    return "la firma FRMA del CAF no corresponde a la clave de la autoridad";
  }
  return std::nullopt;
}

detail::TedValues DdValues(const xmlNode* dd) {
  const auto value = [dd](const char* name) { return detail::ChildText(dd, name); };
  return {value("RE"), value("TD"),  value("F"),   value("FE"),
          value("RR"), value("RSR"), value("MNT"), value("IT1")};
}

// The checks in their order: form, CAF, FRMA, FRMT, then the document; the first failure wins.
// The CAF sits inside DD, so a changed CAF breaks FRMT too: checking FRMA first names the CAF.
template <class MatchDocument>
ResultadoVerificacionTimbre Verify(std::string_view ted, std::string_view authorityPem,
                                   const MatchDocument& matchDocument) {
  ResultadoVerificacionTimbre result;
  try {
    ParsedTed parsed;
    Outcome failure = Parse(ted, parsed);
    if (!failure) {
      const xmlNode* cafElement = detail::ChildElement(parsed.dd, "CAF");
      if (cafElement == nullptr) {
        failure = "el TED no contiene el CAF";
      } else {
        const detail::ArchivoCafDatos caf = detail::ReadCafElement(cafElement);
        failure = CheckAuthority(parsed, authorityPem);
        if (!failure) failure = CheckSignature(parsed, caf);
        if (!failure) failure = matchDocument(DdValues(parsed.dd));
      }
    }
    result.Valido = !failure.has_value();
    result.Motivo = failure.value_or("");
  } catch (const std::exception& error) {
    result.Motivo = error.what();
  } catch (...) {
    result.Motivo = "error inesperado al verificar el TED";
  }
  return result;
}

}  // namespace

ResultadoVerificacionTimbre VerificarTimbre(std::string_view ted,
                                            std::string_view clavePublicaAutoridadPem) {
  return Verify(ted, clavePublicaAutoridadPem, [](const detail::TedValues&) { return Outcome(); });
}

ResultadoVerificacionTimbre VerificarTimbreDte(std::string_view ted,
                                               const DteDocumentBinding& documento,
                                               std::string_view clavePublicaAutoridadPem) {
  return Verify(ted, clavePublicaAutoridadPem, [&](const detail::TedValues& values) {
    return detail::TedMismatch(documento, values);
  });
}

ResultadoVerificacionTimbre VerificarTimbreBoleta(std::string_view ted,
                                                  const BoletaDocumentBinding& documento,
                                                  std::string_view clavePublicaAutoridadPem) {
  return Verify(ted, clavePublicaAutoridadPem, [&](const detail::TedValues& values) {
    return detail::TedMismatch(documento, values);
  });
}

}  // namespace QuarloCliente
