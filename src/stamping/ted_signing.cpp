#include "stamping/ted_signing.hpp"

#include <quarlo/error.hpp>

#include "core/base64.hpp"
#include "core/xml.hpp"
#include "stamping/compact_xml.hpp"
#include "stamping/rsa.hpp"

namespace QuarloCliente::detail {
namespace {

// RSR and IT1 hold at most 40 characters, the start of the document's texts.
constexpr std::size_t kStampedNameLength = 40;

std::string Value(std::string_view name, const std::string& text) {
  return TextElement(name, IsoSafeText(text));
}

std::string Name(std::string_view name, const std::string& text) {
  return TextElement(name, FirstCharacters(IsoSafeText(text), kStampedNameLength));
}

}  // namespace

std::string SignTed(const TedStampValues& v, std::string_view compactCaf, EVP_PKEY* key) {
  std::string dd = "<DD>" + Value("RE", v.re) + Value("TD", v.td) + Value("F", v.f) +
                   Value("FE", v.fe) + Value("RR", v.rr) + Name("RSR", v.rsr) +
                   Value("MNT", v.mnt) + Name("IT1", v.it1);
  dd.append(compactCaf).append(Value("TSTED", v.tsted)).append("</DD>");
  const std::string frmt = EncodeBase64(SignSha1(key, SignedBytes(dd)));
  return "<TED version=\"1.0\">" + dd + "<FRMT algoritmo=\"SHA1withRSA\">" + frmt + "</FRMT></TED>";
}

TedStampValues ReadTedStamp(std::string_view ted) {
  const XmlDocPtr doc = ParseHeldXml(ted);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  const xmlNode* dd =
      root != nullptr && View(root->name) == "TED" ? ChildElement(root, "DD") : nullptr;
  if (dd == nullptr) throw Error("el TED no es un elemento TED con DD");
  const auto value = [dd](const char* name) { return ChildText(dd, name); };
  return {value("RE"),  value("TD"),  value("F"),   value("FE"),   value("RR"),
          value("RSR"), value("MNT"), value("IT1"), value("TSTED")};
}

}  // namespace QuarloCliente::detail
