#pragma once

#include <functional>
#include <memory>
#include <quarlo/binding_context.hpp>
#include <quarlo/binding_element.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

struct BindingNode;

// The XML declaration of a submission's UTF-8 text.
inline constexpr std::string_view kUtf8Declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

// How a submission's text differs from ToXml(context, true, 2, kBindingLineEndLf,
// kBindingBanner): the markup the clean-up would edit is written edited already, and the values
// are written as they are.
struct SubmissionMarkup {
  // The prefix registered for the namespace whose names are written without it; its declaration
  // is written as a default one.
  std::string_view marker;
  // The namespace whose default declaration is left out wherever something follows it in its tag.
  std::string_view dropped_default_namespace;
  // An element written as nothing but the line break and indentation before it, as cutting it
  // from the written text leaves it; nullptr for none.
  const BindingNode* omitted = nullptr;
  // Markup written just before the root's end tag, after the root's last line break.
  std::string_view closing_markup = {};
  // An element written with `replaced_text` as its whole content, as setting its text in the
  // written document and writing it again leaves it; nullptr for none.
  const BindingNode* replaced = nullptr;
  std::string_view replaced_text = {};
};

// The submission text of the document without its XML declaration and without the banner line,
// handed to `take` in consecutive pieces. Throws Error for a null context.
//
// A clean-up over the whole text would also edit a value that happens to hold one of its pieces
// ("ABCXYZ:" in a product name); here the values reach the service as the caller wrote them.
void WriteSubmissionXml(const BindingDocument& document,
                        const std::shared_ptr<BindingContext>& context,
                        const SubmissionMarkup& markup,
                        const std::function<void(std::string_view)>& take);

// The IdDoc Folio element of a DTE's form as a selection of
// "/DTE/Documento/Encabezado/IdDoc/Folio", then the Exportaciones and the Liquidacion paths, finds
// it in the submission text, whose root is always written DTE: the first in document order, names
// matched as written; nullptr when there is none.
const BindingNode* SubmittedFolioNode(const BindingDocument& document);

// The same text whole, after the UTF-8 XML declaration and a line feed.
std::string SubmissionXml(const BindingDocument& document,
                          const std::shared_ptr<BindingContext>& context,
                          const SubmissionMarkup& markup);

}  // namespace QuarloCliente::detail
