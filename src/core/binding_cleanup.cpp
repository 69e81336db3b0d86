#include "core/binding_cleanup.hpp"

#include <algorithm>
#include <cstring>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string_view>

#include "binding/banner.hpp"
#include "core/find_text.hpp"

namespace QuarloCliente {

namespace detail {

namespace {

// Compacts the text in place: each submission cleans a whole document, and a piece that is absent
// (most of them are) then costs one search and no copy.
void RemoveAll(std::string& text, std::string_view piece) {
  if (piece.empty()) return;
  std::size_t at = FindText(text, piece);
  if (at == std::string::npos) return;
  std::size_t write = at;
  std::size_t from = at + piece.size();
  for (at = FindText(text, piece, from); at != std::string::npos;
       at = FindText(text, piece, from)) {
    std::memmove(text.data() + write, text.data() + from, at - from);
    write += at - from;
    from = at + piece.size();
  }
  const std::size_t rest = text.size() - from;
  std::memmove(text.data() + write, text.data() + from, rest);
  text.resize(write + rest);
}

std::string_view SharedStart(std::string_view a, std::string_view b) {
  const auto differ = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first;
  return a.substr(0, static_cast<std::size_t>(differ - a.begin()));
}

}  // namespace

void CleanBindingText(std::string& text, bool keepNamespace) {
  static const std::string kDefaultNamespaceFollowedByBlank =
      "xmlns=\"" + std::string(SiiDteNamespace) + "\" ";
  static const std::string kDocumentsBanner = std::string(kBindingBannerDocuments) + "\r\n";
  static const std::string kBooksBanner = std::string(kBindingBannerBooks) + "\r\n";
  static const std::string_view kBannerStart = SharedStart(kDocumentsBanner, kBooksBanner);
  // Each pair of pieces shares a part that a document rarely holds: one search for it rules both
  // out, and only a text that has it is searched for each. The pieces are still removed one after
  // the other, since removing one can join the parts of the next.
  if (FindText(text, "ABCXYZ") != std::string::npos) {
    RemoveAll(text, "ABCXYZ:");
    RemoveAll(text, ":ABCXYZ");
  }
  if (!keepNamespace) RemoveAll(text, kDefaultNamespaceFollowedByBlank);
  if (FindText(text, kBannerStart) != std::string::npos) {
    RemoveAll(text, kDocumentsBanner);
    RemoveAll(text, kBooksBanner);
  }
}

}  // namespace detail

std::string Servicio::CleanBindingXml(const std::string& xml) {
  std::string text = xml;
  detail::CleanBindingText(text, false);
  return text;
}

std::string Servicio::CleanBindingXmlKeepNamespace(const std::string& xml) {
  std::string text = xml;
  detail::CleanBindingText(text, true);
  return text;
}

}  // namespace QuarloCliente
