#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// One path segment percent-encoded on its own: RFC 3986 unreserved characters stay, every other
// byte of its UTF-8 form becomes %XX, and a segment made only of dots has its dots encoded, so a
// value can never add a segment, start a query or climb out of its path.
std::string EncodePathSegment(std::string_view segment);

// apiUri, then path (which begins with "/"), then the segments, each encoded, joined with "/".
// An empty segment still yields "//", an empty last segment a trailing "/".
std::string ServiceUrl(std::string_view apiUri, std::string_view path,
                       std::initializer_list<std::string_view> segments = {});

}  // namespace QuarloCliente::detail
