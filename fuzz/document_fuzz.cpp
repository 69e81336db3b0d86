// A document text as a caller may load it: loaded under the lenient switches the last byte
// selects, as a DTE and as a boleta, then written, checked against its own text as a TED, stamped
// and turned into a submission's Content. Anything may be refused with Error; nothing may crash,
// leak or read out of bounds.

#include <cstdint>
#include <quarlo/quarlo.hpp>
#include <string>

#include "emission/emission.hpp"
#include "fuzz_context.hpp"

namespace {

using namespace QuarloCliente;

// The lenient switches of the low bits; bit 5 also names the SII namespace with a prefix.
std::shared_ptr<BindingContext> ContextFor(std::uint8_t switches) {
  auto context = fuzz::LenientContextFor(switches);
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
