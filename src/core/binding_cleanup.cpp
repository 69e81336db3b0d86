#include "core/binding_cleanup.hpp"

#include <cstring>
#include <quarlo/namespaces.hpp>
#include <string_view>

#include "binding/banner.hpp"

namespace QuarloCliente {

namespace detail {

namespace {

// Compacts the text in place, each kept stretch moved once.
void RemoveAll(std::string& text, std::string_view piece) {
  std::size_t at = text.find(piece);
  if (piece.empty() || at == std::string::npos) return;
  std::size_t write = at;
  std::size_t from = at + piece.size();
  for (at = text.find(piece, from); at != std::string::npos; at = text.find(piece, from)) {
    std::memmove(text.data() + write, text.data() + from, at - from);
    write += at - from;
    from = at + piece.size();
  }
  const std::size_t rest = text.size() - from;
  std::memmove(text.data() + write, text.data() + from, rest);
  text.resize(write + rest);
}

}  // namespace

void CleanBindingText(std::string& text, bool keepNamespace) {
  static const std::string kDefaultNamespaceFollowedByBlank =
      "xmlns=\"" + std::string(SiiDteNamespace) + "\" ";
  // One after the other: removing one piece can join the parts of the next.
  RemoveAll(text, "ABCXYZ:");
  RemoveAll(text, ":ABCXYZ");
  if (!keepNamespace) RemoveAll(text, kDefaultNamespaceFollowedByBlank);
  RemoveAll(text, std::string(kBindingBannerDocuments) + "\r\n");
  RemoveAll(text, std::string(kBindingBannerBooks) + "\r\n");
}

std::string CleanBindingXml(const std::string& xml) {
  std::string text = xml;
  CleanBindingText(text, false);
  return text;
}

std::string CleanBindingXmlKeepNamespace(const std::string& xml) {
  std::string text = xml;
  CleanBindingText(text, true);
  return text;
}

}  // namespace detail

}  // namespace QuarloCliente
