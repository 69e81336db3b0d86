#include "binding/library_contexts.hpp"
#include "binding/submission_text.hpp"
#include "books/book_submission.hpp"
#include "core/base64.hpp"

namespace QuarloCliente::detail {

std::string BookContent(const BindingDocument& book, const BindingNode* cut,
                        std::string_view closingMarkup) {
  Bytes bytes(kUtf8Declaration.begin(), kUtf8Declaration.end());
  bytes.push_back('\n');
  // Written with its markup cleaned already and the namespace kept: a clean-up over the whole text
  // would also cut the marker out of a name in the book's details. The service reads the UTF-8
  // bytes the declaration announces, so the pieces go in as written.
  WriteSubmissionXml(
      book, SubmissionContext(), {kSubmissionMarker, {}, cut, closingMarkup},
      [&](std::string_view piece) { bytes.insert(bytes.end(), piece.begin(), piece.end()); });
  return EncodeBase64(bytes);
}

}  // namespace QuarloCliente::detail
