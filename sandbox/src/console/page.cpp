#include "console/page.hpp"

#include <stdexcept>

#include "console/assets.hpp"

namespace QuarloSandbox {

namespace {

std::string TemplateText(std::string_view name) {
  const std::string file = std::string(name) + ".mustache";
  const std::string_view text = ConsoleAsset(file);
  if (text.empty()) throw std::runtime_error("falta la plantilla " + file);
  return std::string(text);
}

}  // namespace

std::string RenderTemplate(std::string_view name, const View& view) {
  kainjow::mustache::mustache page(TemplateText(name));
  std::string html = page.render(view);
  // A template's fault, never the data's: values are only ever written, not parsed.
  if (!page.is_valid()) {
    throw std::runtime_error("la plantilla " + std::string(name) +
                             " no es válida: " + page.error_message());
  }
  return html;
}

View TemplatePartial(std::string_view name) {
  return kainjow::mustache::partial([text = TemplateText(name)] { return text; });
}

std::string RenderPage(const PageFrame& frame, std::string_view content, View view) {
  view.set("contenido", TemplatePartial(content));
  view.set("titulo", frame.title);
  view.set("abierta", frame.open);
  view.set("sesion", frame.session);
  view.set("seccion_" + frame.section, true);
  return RenderTemplate("layout", view);
}

}  // namespace QuarloSandbox
