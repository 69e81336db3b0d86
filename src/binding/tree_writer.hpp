#pragma once

// Writes a binding tree as XML text: the writer behind ToXml and the submissions' text.

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "binding/node.hpp"
#include "binding/submission_text.hpp"

namespace QuarloCliente::detail {

// How the text is laid out.
struct TreeLayout {
  // Spaces per level; 0 writes the whole tree on one line.
  int indentation = 0;
  std::string_view line_end = "\n";
  // Empty elements written as a start and an end tag rather than as one empty tag.
  bool expand_empty = false;
};

// Writes the tree with a snapshot of a context's namespace map (namespace to prefix), declaring
// on the root every namespace the tree uses, and hands the text to `take` in consecutive pieces,
// so that a caller converting it as it goes copies it once. The default markup writes prefixes
// and declarations as the map gives them.
void WriteTree(const BindingNode& root, const std::map<std::string, std::string>& prefixes,
               const TreeLayout& layout, const SubmissionMarkup& markup,
               const std::function<void(std::string_view)>& take);

}  // namespace QuarloCliente::detail
