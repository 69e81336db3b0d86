#include <quarlo/servicio.hpp>

#include "binding/node.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {

// A stamp's receiver name holds at most 40 characters, the start of the receiver's name.
constexpr std::size_t kStampedNameLength = 40;

// The stamp time and signing time of every placeholder.
BindingDateTime PlaceholderMoment() {
  return BindingDateTime::FromDateTime(2010, 1, 1, 0, 0, 0);
}

// The first `count` characters of UTF-8 text.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool starts_character = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts_character && seen++ == count) return text.substr(0, i);
  }
  return text;
}

// The issue date as a stamp holds it, without the time zone a loaded date may carry.
BindingDateTime StampDate(const BindingDateTime& issued) {
  // Only an issue date the schema does not type (kept by a lenient load) can be of another kind,
  // and no other kind reads as a date: this throws what reading it as one throws.
  if (issued.Kind() != BindingDateTimeKind::XsDate) {
    return BindingDateTime::Parse(issued.Format("s"), BindingDateTimeKind::XsDate);
  }
  return BindingDateTime::FromDate(issued.Year(), issued.Month(), issued.Day());
}

// The fill reaches some twenty elements: their handles live on the stack, not each in its own
// allocation as the typed getters return them, and set the same values through the same checks.
using detail::ElementNodes;

template <class Forma>
void FillPlaceholderCaf(TedCAF<Forma>& caf) {
  caf.SetVersion("1.0");
  TedDA<Forma> da(ElementNodes::Child(caf, "DA"));
  da.SetRE("00000000-K").SetRS("A").SetTDPlaceholder();
  RangoFolios(ElementNodes::Child(da, "RNG")).SetD(BindingInteger("1")).SetH(BindingInteger("1"));
  da.SetFA(BindingDateTime::FromDate(2010, 1, 1));
  ClavePublicaRSA(ElementNodes::ReplaceChild(da, "RSAPK")).SetM("==").SetE("==");
  da.SetIDK(0);
  FirmaTimbre(ElementNodes::Child(caf, "FRMA")).SetAlgoritmo("SHA1withRSA").SetValor("==");
}

// The stamp the service replaces: issuer, type, folio, date and receiver of the document, dummy
// CAF, signatures and time.
template <class Forma>
void FillPlaceholderStamp(FormaDte<Forma>& form, std::string_view rsr,
                          const typename Forma::Monto& mnt) {
  form.SetID("ID_1");
  const EncabezadoDte<Forma> encabezado(ElementNodes::Child(form, "Encabezado"));
  const IdDocDte<Forma> idDoc(ElementNodes::Child(encabezado, "IdDoc"));
  // A document loaded without a stamp, the usual case since the service stamps it, has no TED
  // to fill: its parts are created at their schema places. A new TED comes with all of them, so
  // reaching the form's TED once (past its detail lines) creates what walking the whole path
  // from the form would.
  TedDte<Forma> ted(ElementNodes::EnsureChild(form, "TED"));
  for (const char* part : {"DD/CAF/DA/RNG", "DD/CAF/FRMA", "FRMT"}) {
    ElementNodes::EnsureChild(ted, part);
  }
  ted.SetVersion("1.0");
  TedDD<Forma> dd(ElementNodes::Child(ted, "DD"));
  dd.SetRE(EmisorDte(ElementNodes::Child(encabezado, "Emisor")).RUTEmisor());
  dd.SetTD(idDoc.TipoDTE());
  dd.SetF(idDoc.Folio());
  dd.SetFE(StampDate(idDoc.FchEmis()));
  dd.SetRR(ReceptorDte(ElementNodes::Child(encabezado, "Receptor")).RUTRecep());
  dd.SetRSR(rsr).SetMNT(mnt).SetIT1("IT1");
  TedCAF<Forma> caf(ElementNodes::Child(dd, "CAF"));
  FillPlaceholderCaf(caf);
  dd.SetTSTED(PlaceholderMoment());
  FirmaTimbre(ElementNodes::Child(ted, "FRMT")).SetAlgoritmo("SHA1withRSA").SetValor("==");
}

// Liquidacion and Exportaciones carry the receiver's name and the total in their stamp.
template <class Forma>
void FillStampWithReceiverAndTotal(FormaDte<Forma>& form) {
  const EncabezadoDte<Forma> encabezado(ElementNodes::Child(form, "Encabezado"));
  const std::string name = ReceptorDte(ElementNodes::Child(encabezado, "Receptor")).RznSocRecep();
  FillPlaceholderStamp(form, FirstCharacters(name, kStampedNameLength),
                       TotalesDte<Forma>(ElementNodes::Child(encabezado, "Totales")).MntTotal());
  form.SetTmstFirma(PlaceholderMoment());
}

}  // namespace

namespace detail {

void FillDtePlaceholderTed(DteDocumentBinding& dte) {
  dte.SetVersion(BindingDecimal("1.0"));
  if (auto documento_node = ElementNodes::OptionalChild(dte, "Documento")) {
    DocumentoDte documento(std::move(documento_node));
    FillPlaceholderStamp(documento, "RSR", BindingInteger(0));
    documento.SetTmstFirma(PlaceholderMoment());
  } else if (auto liquidacion_node = ElementNodes::OptionalChild(dte, "Liquidacion")) {
    LiquidacionDte liquidacion(std::move(liquidacion_node));
    FillStampWithReceiverAndTotal(liquidacion);
  } else if (auto exportaciones_node = ElementNodes::OptionalChild(dte, "Exportaciones")) {
    ExportacionesDte exportaciones(std::move(exportaciones_node));
    FillStampWithReceiverAndTotal(exportaciones);
  }
}

void FillBoletaPlaceholderTed(BoletaDocumentBinding& boleta) {
  boleta.SetVersion(BindingDecimal("1.0"));
  DocumentoBoleta documento(ElementNodes::Child(boleta, "Documento"));
  const EncabezadoDte<FormaBoleta> encabezado(ElementNodes::Child(documento, "Encabezado"));
  const std::int32_t total =
      TotalesDte<FormaBoleta>(ElementNodes::Child(encabezado, "Totales")).MntTotal().ToInt32();
  FillPlaceholderStamp(documento, "RSR", BindingInteger(total));
}

}  // namespace detail

}  // namespace QuarloCliente
