#include <charconv>
#include <quarlo/error.hpp>
#include <quarlo/timbre.hpp>

#include "binding/node.hpp"
#include "stamping/caf_data.hpp"
#include "stamping/ted_signing.hpp"

namespace QuarloCliente {
namespace {

using detail::ElementNodes;

[[noreturn]] void Refuse(const std::string& description) {
  throw Error("No se puede timbrar: " + description);
}

// The DD values of the document as they go into the TED, which is also what the binding gets.
template <class Forma>
detail::TedStampValues ReadDocument(const FormaDte<Forma>& form, const BindingDateTime& momento) {
  detail::TedStampValues v;
  v.re = form.Get("Encabezado/Emisor/RUTEmisor");
  v.td = form.Get("Encabezado/IdDoc/TipoDTE");
  v.f = form.Get("Encabezado/IdDoc/Folio");
  // A loaded issue date may carry a time zone; the stamp holds the date alone.
  v.fe = form.Get("Encabezado/IdDoc/FchEmis").substr(0, 10);
  v.rr = form.Get("Encabezado/Receptor/RUTRecep");
  const std::string receiverName = "Encabezado/Receptor/RznSocRecep";
  v.rsr = form.Has(receiverName) ? form.Get(receiverName) : "";
  v.mnt = form.Get("Encabezado/Totales/MntTotal");
  v.it1 = form.Get("Detalle/NmbItem");
  v.tsted = momento.Format("s");
  return v;
}

void CheckCaf(const detail::TedStampValues& v, const detail::ArchivoCafDatos& caf) {
  if (!caf.clavePrivada) Refuse("el CAF no contiene la clave privada RSASK");
  if (v.re != caf.rutEmisor) Refuse("el RUT emisor del documento no es el del CAF");
  if (v.td != std::to_string(caf.tipoDte)) {
    Refuse("el tipo de documento no es el del CAF (" + std::to_string(caf.tipoDte) + ")");
  }
  std::int64_t folio = 0;
  const auto [end, error] = std::from_chars(v.f.data(), v.f.data() + v.f.size(), folio);
  if (error != std::errc() || end != v.f.data() + v.f.size()) {
    Refuse("el folio del documento no es un número");
  }
  if (folio < caf.desde || folio > caf.hasta) {
    Refuse("el folio " + v.f + " está fuera del rango del CAF (" + std::to_string(caf.desde) + "-" +
           std::to_string(caf.hasta) + ")");
  }
}

// The FRMT value of a TED text that SignTed wrote.
std::string FrmtOf(const std::string& ted) {
  const std::size_t begin = ted.find('>', ted.rfind("<FRMT")) + 1;
  return ted.substr(begin, ted.rfind("</FRMT>") - begin);
}

template <class Forma>
void WriteCaf(TedDte<Forma>& ted, const detail::ArchivoCafDatos& caf) {
  BindingElement cafElement(ElementNodes::EnsureChild(ted, "DD/CAF"));
  cafElement.SetAttribute("version", "1.0");
  BindingElement da(ElementNodes::EnsureChild(cafElement, "DA"));
  da.Set("RE", caf.rutEmisor).Set("RS", caf.razonSocial).Set("TD", std::to_string(caf.tipoDte));
  da.Set("RNG/D", std::to_string(caf.desde)).Set("RNG/H", std::to_string(caf.hasta));
  da.Set("FA", caf.fechaAutorizacion);
  BindingElement rsapk(ElementNodes::ReplaceChild(da, "RSAPK"));
  rsapk.Set("M", caf.moduloBase64).Set("E", caf.exponenteBase64);
  da.Set("IDK", std::to_string(caf.idk));
  BindingElement frma(ElementNodes::EnsureChild(cafElement, "FRMA"));
  frma.SetText(caf.firmaCaf).SetAttribute("algoritmo", "SHA1withRSA");
}

template <class Forma>
void WriteTed(FormaDte<Forma>& form, const detail::TedStampValues& v,
              const detail::ArchivoCafDatos& caf, const std::string& frmt,
              const BindingDateTime& momento) {
  TedDte<Forma> ted(ElementNodes::EnsureChild(form, "TED"));
  ted.SetVersion("1.0");
  BindingElement dd(ElementNodes::EnsureChild(ted, "DD"));
  dd.Set("RE", v.re).Set("TD", v.td).Set("F", v.f).Set("FE", v.fe).Set("RR", v.rr);
  dd.Set("RSR", v.rsr).Set("MNT", v.mnt).Set("IT1", v.it1);
  WriteCaf(ted, caf);
  dd.Set("TSTED", v.tsted);
  BindingElement firma(ElementNodes::EnsureChild(ted, "FRMT"));
  firma.SetText(frmt).SetAttribute("algoritmo", "SHA1withRSA");
  form.SetTmstFirma(momento);
}

// Everything that can refuse happens before the first write, so a refused stamp leaves the
// document as it was.
template <class Forma>
std::string Stamp(FormaDte<Forma>& form, const ArchivoCaf& archivo,
                  const BindingDateTime& momento) {
  const detail::ArchivoCafDatos& caf = archivo.Datos();
  const detail::TedStampValues values = ReadDocument(form, momento);
  CheckCaf(values, caf);
  const std::string ted = detail::SignTed(values, caf.cafXml, caf.clavePrivada.get());
  // The binding gets the values exactly as signed, read back from the TED.
  WriteTed(form, detail::ReadTedStamp(ted), caf, FrmtOf(ted), momento);
  return ted;
}

}  // namespace

std::string TimbrarDte(DteDocumentBinding& documento, const ArchivoCaf& caf,
                       const BindingDateTime& momento) {
  if (auto form = documento.Documento()) return Stamp(*form, caf, momento);
  if (auto form = documento.Exportaciones()) return Stamp(*form, caf, momento);
  if (auto form = documento.Liquidacion()) return Stamp(*form, caf, momento);
  Refuse("el DTE no tiene Documento, Exportaciones ni Liquidacion");
}

std::string TimbrarBoleta(BoletaDocumentBinding& documento, const ArchivoCaf& caf,
                          const BindingDateTime& momento) {
  return Stamp(*documento.Documento(), caf, momento);
}

}  // namespace QuarloCliente
