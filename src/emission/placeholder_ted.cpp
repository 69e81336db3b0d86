#include <quarlo/servicio.hpp>

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

template <class Forma>
void FillPlaceholderCaf(TedCAF<Forma>& caf) {
  caf.SetVersion("1.0");
  const auto da = caf.DA();
  da->SetRE("00000000-K").SetRS("A").SetTDPlaceholder();
  da->RNG()->SetD(BindingInteger("1")).SetH(BindingInteger("1"));
  da->SetFA(BindingDateTime::FromDate(2010, 1, 1));
  da->CrearRSAPK()->SetM("==").SetE("==");
  da->SetIDK(0);
  caf.FRMA()->SetAlgoritmo("SHA1withRSA").SetValor("==");
}

// The stamp the service replaces: issuer, type, folio, date and receiver of the document, dummy
// CAF, signatures and time.
template <class Forma>
void FillPlaceholderStamp(FormaDte<Forma>& form, std::string_view rsr,
                          const typename Forma::Monto& mnt) {
  form.SetID("ID_1");
  const auto encabezado = form.Encabezado();
  const auto idDoc = encabezado->IdDoc();
  // A document loaded without a stamp, the usual case since the service stamps it, has no TED
  // to fill: its parts are created at their schema places.
  for (const char* part : {"TED/DD/CAF/DA/RNG", "TED/DD/CAF/FRMA", "TED/FRMT"}) form.Element(part);
  const auto ted = form.TED();
  ted->SetVersion("1.0");
  const auto dd = ted->DD();
  dd->SetRE(encabezado->Emisor()->RUTEmisor());
  dd->SetTD(idDoc->TipoDTE());
  dd->SetF(idDoc->Folio());
  dd->SetFE(BindingDateTime::Parse(idDoc->FchEmis().Format("s"), BindingDateTimeKind::XsDate));
  dd->SetRR(encabezado->Receptor()->RUTRecep());
  dd->SetRSR(rsr).SetMNT(mnt).SetIT1("IT1");
  FillPlaceholderCaf(*dd->CAF());
  dd->SetTSTED(PlaceholderMoment());
  ted->FRMT()->SetAlgoritmo("SHA1withRSA").SetValor("==");
}

// Liquidacion and Exportaciones carry the receiver's name and the total in their stamp.
template <class Forma>
void FillStampWithReceiverAndTotal(FormaDte<Forma>& form) {
  const auto encabezado = form.Encabezado();
  const std::string name = encabezado->Receptor()->RznSocRecep();
  FillPlaceholderStamp(form, FirstCharacters(name, kStampedNameLength),
                       encabezado->Totales()->MntTotal());
  form.SetTmstFirma(PlaceholderMoment());
}

}  // namespace

namespace detail {

void FillDtePlaceholderTed(DteDocumentBinding& dte) {
  dte.SetVersion(BindingDecimal("1.0"));
  if (const auto documento = dte.Documento()) {
    FillPlaceholderStamp(*documento, "RSR", BindingInteger(0));
    documento->SetTmstFirma(PlaceholderMoment());
  } else if (const auto liquidacion = dte.Liquidacion()) {
    FillStampWithReceiverAndTotal(*liquidacion);
  } else if (const auto exportaciones = dte.Exportaciones()) {
    FillStampWithReceiverAndTotal(*exportaciones);
  }
}

void FillBoletaPlaceholderTed(BoletaDocumentBinding& boleta) {
  boleta.SetVersion(BindingDecimal("1.0"));
  const auto documento = boleta.Documento();
  const std::int32_t total = documento->Encabezado()->Totales()->MntTotal().ToInt32();
  FillPlaceholderStamp(*documento, "RSR", BindingInteger(total));
}

}  // namespace detail

void Servicio::FillPlaceholderTed(DteDocumentBinding& Documento) {
  detail::FillDtePlaceholderTed(Documento);
}

void Servicio::FillPlaceholderTed(BoletaDocumentBinding& Documento) {
  detail::FillBoletaPlaceholderTed(Documento);
}

}  // namespace QuarloCliente
