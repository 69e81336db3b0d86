#include "binding/ted_comparison.hpp"

#include <string_view>
#include <type_traits>

namespace QuarloCliente::detail {
namespace {

// The document's text begins with the TED's. A search inside an empty text finds nothing, so an
// empty document text never matches, not even an empty TED value.
bool BeginsWith(std::string_view documentText, std::string_view tedText) {
  return !documentText.empty() && documentText.starts_with(tedText);
}

// The receiver's name, "" when the document has none (a boleta need not).
std::string ReceiverName(const ReceptorDte& receptor) {
  return receptor.Has("RznSocRecep") ? receptor.RznSocRecep() : std::string();
}

// RSR against the receiver's name. A boleta sold to an anonymous customer carries no name, and
// its stamp an empty RSR: that pair matches, or no such boleta could ever be submitted with its
// own stamp. A name that is present but empty still never matches.
template <class Forma>
bool ReceiverNameMatches(const ReceptorDte& receptor, const std::string& rsr) {
  if (std::is_same_v<Forma, FormaBoleta> && rsr.empty() && !receptor.Has("RznSocRecep"))
    return true;
  return BeginsWith(ReceiverName(receptor), rsr);
}

// The message of the first comparison that fails, in the fixed order; each document value is
// read only when its comparison comes, so an earlier mismatch wins over a later missing part.
template <class Forma>
std::optional<std::string> FirstMismatch(const FormaDte<Forma>& form, const TedValues& ted) {
  const auto encabezado = form.Encabezado();
  if (ted.re != encabezado->Emisor()->RUTEmisor()) {
    return "El campo RUTEmisor del documento no es igual al campo RE del TED.";
  }
  const auto idDoc = encabezado->IdDoc();
  if (ParseTipoDTE<typename Forma::Tipo>(ted.td) != idDoc->TipoDTE()) {
    return "El campo TipoDTE del documento no es igual al campo TD del TED.";
  }
  if (BindingInteger(ted.f) != idDoc->Folio()) {
    return "El campo Folio del documento no es igual al campo F del TED.";
  }
  if (idDoc->FchEmis().Format("s") != ted.fe) {
    return "El campo FchEmis del documento no es igual al campo FE del TED.";
  }
  const auto receptor = encabezado->Receptor();
  if (ted.rr != receptor->RUTRecep()) {
    return "El campo RUTRecep del documento no es igual al campo RR del TED.";
  }
  if (!ReceiverNameMatches<Forma>(*receptor, ted.rsr)) {
    return "El campo RUTRecep del documento no es igual al campo RSR.";
  }
  if (typename Forma::Monto(ted.mnt) != encabezado->Totales()->MntTotal()) {
    return "El campo MntTotal del documento no es igual al campo MNT del TED.";
  }
  if (!BeginsWith(form.Detalle(1)->NmbItem(), ted.it1)) {
    return "El campo del primer detalle NmbItem del documento no es igual al campo IT1 del TED.";
  }
  return std::nullopt;
}

}  // namespace

// A DTE without any of the three forms has nothing to compare and counts as matching.
std::optional<std::string> TedMismatch(const DteDocumentBinding& dte, const TedValues& ted) {
  if (const auto documento = dte.Documento()) return FirstMismatch(*documento, ted);
  if (const auto exportaciones = dte.Exportaciones()) return FirstMismatch(*exportaciones, ted);
  if (const auto liquidacion = dte.Liquidacion()) return FirstMismatch(*liquidacion, ted);
  return std::nullopt;
}

std::optional<std::string> TedMismatch(const BoletaDocumentBinding& boleta, const TedValues& ted) {
  return FirstMismatch(*boleta.Documento(), ted);
}

}  // namespace QuarloCliente::detail
