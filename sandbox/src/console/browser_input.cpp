#include "console/browser_input.hpp"

#include <httplib.h>

namespace QuarloSandbox {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

FormFields ParseForm(std::string_view encoded) {
  // httplib's own decoder, the one it applies to every query string it parses.
  httplib::Params params;
  httplib::detail::parse_query_text(std::string(encoded), params);
  FormFields fields;
  for (auto& [name, value] : params) fields[name] = value;
  return fields;
}

std::string FieldOr(const FormFields& fields, std::string_view name) {
  const auto found = fields.find(name);
  return found == fields.end() ? std::string() : found->second;
}

std::string_view QueryOf(std::string_view target) {
  const auto mark = target.find('?');
  if (mark == std::string_view::npos) return {};
  const auto fragment = target.find('#', mark);
  return target.substr(mark + 1,
                       fragment == std::string_view::npos ? fragment : fragment - mark - 1);
}

std::string UrlEncode(std::string_view value) {
  return httplib::detail::encode_query_param(std::string(value));
}

std::optional<std::string> CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const auto semicolon = header.find(';');
    const std::string_view pair = Trimmed(header.substr(0, semicolon));
    const auto equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
      return std::string(pair.substr(equals + 1));
    }
    if (semicolon == std::string_view::npos) break;
    header.remove_prefix(semicolon + 1);
  }
  return std::nullopt;
}

}  // namespace QuarloSandbox
