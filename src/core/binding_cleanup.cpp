#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string_view>

#include "binding/banner.hpp"

namespace QuarloCliente {

namespace {

void RemoveAll(std::string& text, std::string_view piece) {
  if (piece.empty()) return;
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, from)) {
    out.append(text, from, at - from);
    from = at + piece.size();
  }
  out.append(text, from, std::string::npos);
  text = std::move(out);
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
