#include "core/url.hpp"

namespace QuarloCliente::detail {

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

bool OnlyDots(std::string_view segment) {
  return !segment.empty() && segment.find_first_not_of('.') == std::string_view::npos;
}

void AppendEscaped(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.push_back('%');
  out.push_back(kHex[c >> 4]);
  out.push_back(kHex[c & 0x0F]);
}

}  // namespace

std::string EncodePathSegment(std::string_view segment) {
  const bool escapeDots = OnlyDots(segment);
  std::string out;
  out.reserve(segment.size());
  for (const char ch : segment) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c) && !(escapeDots && c == '.')) {
      out.push_back(ch);
    } else {
      AppendEscaped(out, c);
    }
  }
  return out;
}

std::string ServiceUrl(std::string_view apiUri, std::string_view path,
                       std::initializer_list<std::string_view> segments) {
  std::string url;
  url.append(apiUri).append(path);
  bool first = true;
  for (const std::string_view segment : segments) {
    if (!first) url.push_back('/');
    url.append(EncodePathSegment(segment));
    first = false;
  }
  return url;
}

}  // namespace QuarloCliente::detail
