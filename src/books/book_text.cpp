#include <quarlo/binding_context.hpp>
#include <quarlo/namespaces.hpp>

#include "binding/submission_text.hpp"
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
  // Written with its markup cleaned already and the namespace kept: a clean-up over the whole text
  // would also cut the marker out of a name in the book's details.
  const std::string utf8 = SubmissionXml(book, context, {kMarkerPrefix, {}});
  return ServicioAccess::IsoBytesToText(servicio, Bytes(utf8.begin(), utf8.end()));
}

}  // namespace QuarloCliente::detail
