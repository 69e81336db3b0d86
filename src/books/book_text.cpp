#include <quarlo/binding_context.hpp>
#include <quarlo/namespaces.hpp>

#include "books/book_submission.hpp"

namespace QuarloCliente::detail {

namespace {

// The clean-up removes exactly this prefix, turning every SII element back into an element of
// the default namespace.
constexpr std::string_view kMarkerPrefix = "ABCXYZ";

}  // namespace

std::string BookText(Servicio& servicio, const BindingDocument& book) {
  const std::shared_ptr<BindingContext> context = DefaultBindingContext();
  context->RegisterNamespace(SiiDteNamespace, kMarkerPrefix);
  const Bytes utf8 = book.Serialize(context, true, 2, kBindingLineEndLf, kBindingBanner);
  return ServicioAccess::CleanBindingXmlKeepNamespace(
      servicio, ServicioAccess::IsoBytesToText(servicio, utf8));
}

}  // namespace QuarloCliente::detail
