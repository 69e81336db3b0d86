// A document text as a caller may load it: loaded under the lenient switches the last byte
// selects, as a DTE and as a boleta, then written, checked against its own text as a TED, stamped
// and turned into a submission's Content. Anything may be refused with Error; nothing may crash,
// leak or read out of bounds.

#include <cstdint>
#include <quarlo/quarlo.hpp>
#include <string>

#include "emission/emission.hpp"

namespace {

using namespace QuarloCliente;

std::shared_ptr<BindingContext> ContextFor(std::uint8_t switches) {
  auto context = std::make_shared<BindingContext>();
  context->SetOption(BindingOption::AllowUnknownElements, (switches & 1) != 0);
  context->SetOption(BindingOption::AllowOutOfOrderElements, (switches & 2) != 0);
  context->SetOption(BindingOption::TrimValueWhitespace, (switches & 4) != 0);
  context->SetOption(BindingOption::DeferValueValidation, (switches & 8) != 0);
  context->SetOption(BindingOption::AllowUnknownAttributes, (switches & 16) != 0);
  if ((switches & 32) != 0) context->RegisterNamespace("http://www.sii.cl/SiiDte", "ABCXYZ");
  return context;
}

template <class Document>
void Exercise(std::string_view text, const std::shared_ptr<BindingContext>& context,
              bool autoFoliado) {
  auto document = std::make_shared<Document>();
  try {
    document->Load(text, context);
  } catch (const Error&) {
    return;
  }
  Servicio servicio;
  const std::string ted(text);
  try {
    (void)document->ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner);
    if constexpr (std::is_same_v<Document, DteDocumentBinding>) {
      (void)servicio.ValidarTEDParaDTE(document, ted);
      detail::FillDtePlaceholderTed(*document);
      (void)detail::DteContentBytes(servicio, *document, autoFoliado);
    } else {
      (void)servicio.ValidarTEDParaBoleta(document, ted);
      detail::FillBoletaPlaceholderTed(*document);
      (void)detail::BoletaContentBytes(servicio, *document, autoFoliado);
    }
  } catch (const Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The switches ride on the last byte, so that a document file is a seed as it is.
  const std::uint8_t switches = data[size - 1];
  const std::string_view text(reinterpret_cast<const char*>(data), size - 1);
  const auto context = ContextFor(switches);
  Exercise<DteDocumentBinding>(text, context, (switches & 64) != 0);
  Exercise<BoletaDocumentBinding>(text, context, (switches & 64) != 0);
  return 0;
}
