#include <algorithm>
#include <cstring>
#include <functional>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string_view>

#include "binding/banner.hpp"

namespace QuarloCliente {

namespace {

// Compacts the text in place: each submission cleans a whole document, and a piece that is absent
// (most of them are) then costs one search and no copy.
void RemoveAll(std::string& text, std::string_view piece) {
  if (piece.empty()) return;
  // The banners begin with '<', which every tag holds: a skipping search outruns the plain one.
  const std::boyer_moore_horspool_searcher searcher(piece.begin(), piece.end());
  const auto find = [&](std::size_t from) {
    const auto found =
        std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), searcher);
    return found == text.end() ? std::string::npos : static_cast<std::size_t>(found - text.begin());
  };
  std::size_t at = find(0);
  if (at == std::string::npos) return;
  std::size_t write = at;
  std::size_t from = at + piece.size();
  for (at = find(from); at != std::string::npos; at = find(from)) {
    std::memmove(text.data() + write, text.data() + from, at - from);
    write += at - from;
    from = at + piece.size();
  }
  const std::size_t rest = text.size() - from;
  std::memmove(text.data() + write, text.data() + from, rest);
  text.resize(write + rest);
}

std::string DefaultNamespaceFollowedByBlank() {
  return "xmlns=\"" + std::string(SiiDteNamespace) + "\" ";
}

void RemoveMarkersAndBanners(std::string& text, bool keepNamespace) {
  RemoveAll(text, "ABCXYZ:");
  RemoveAll(text, ":ABCXYZ");
  if (!keepNamespace) RemoveAll(text, DefaultNamespaceFollowedByBlank());
  RemoveAll(text, std::string(detail::kBindingBannerDocuments) + "\r\n");
  RemoveAll(text, std::string(detail::kBindingBannerBooks) + "\r\n");
}

}  // namespace

std::string Servicio::CleanBindingXml(const std::string& xml) {
  std::string text = xml;
  RemoveMarkersAndBanners(text, false);
  return text;
}

std::string Servicio::CleanBindingXmlKeepNamespace(const std::string& xml) {
  std::string text = xml;
  RemoveMarkersAndBanners(text, true);
  return text;
}

}  // namespace QuarloCliente
