#include <quarlo/namespaces.hpp>

#include "binding/library_contexts.hpp"
#include "binding/submission_text.hpp"
#include "books/book_submission.hpp"

namespace QuarloCliente::detail {

std::string BookText(Servicio& servicio, const BindingDocument& book) {
  // Written with its markup cleaned already and the namespace kept: a clean-up over the whole text
  // would also cut the marker out of a name in the book's details.
  const std::string utf8 = SubmissionXml(book, SubmissionContext(), {kSubmissionMarker, {}});
  return ServicioAccess::IsoBytesToText(servicio, Bytes(utf8.begin(), utf8.end()));
}

}  // namespace QuarloCliente::detail
