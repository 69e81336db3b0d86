#pragma once

// What a browser sends the console beside the path: query strings, form bodies and cookies.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace QuarloSandbox {

// The fields of a query string or of an application/x-www-form-urlencoded body, decoded ('+' is
// a blank); of a name given twice, the last value counts.
using FormFields = std::map<std::string, std::string, std::less<>>;
FormFields ParseForm(std::string_view encoded);

// The field's value, or "" when it is absent.
std::string FieldOr(const FormFields& fields, std::string_view name);

// The query string of a request target, without its '?'; "" when there is none.
std::string_view QueryOf(std::string_view target);

// The value percent-encoded for a URL's query string or one path segment.
std::string UrlEncode(std::string_view value);

// The value of the named cookie in a Cookie header ("a=1; b=2"), or nothing.
std::optional<std::string> CookieValue(std::string_view header, std::string_view name);

}  // namespace QuarloSandbox
