#pragma once

// The console's pages: a mustache template of sandbox/console/ filled from a view, inside the
// common layout. Every value a view holds is escaped when it is written.

#include <kainjow/mustache.hpp>
#include <string>
#include <string_view>

#include "console/page_frame.hpp"

namespace QuarloSandbox {

// What a template is filled from: texts, flags, lists and objects of them.
using View = kainjow::mustache::data;

// A new empty list, to push views into.
inline View ListView() {
  return View(View::type::list);
}

// The template (the file "<name>.mustache") filled from the view; throws std::runtime_error when
// the template is missing or malformed.
std::string RenderTemplate(std::string_view name, const View& view);

// The named template as a partial of another one's view ({{>name}} in the other template).
View TemplatePartial(std::string_view name);

// A whole HTML page: the layout with the frame, and the named template filled from the view as
// its content.
std::string RenderPage(const PageFrame& frame, std::string_view content, View view);

}  // namespace QuarloSandbox
