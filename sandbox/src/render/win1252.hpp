#pragma once

#include <string>
#include <string_view>

namespace QuarloSandbox::detail {

// UTF-8 text as Windows-1252 bytes, the encoding of the PDF base-14 fonts' WinAnsiEncoding:
// Latin-1 letters keep their byte, the typographic characters of 0x80..0x9F (euro sign, curly
// quotes, dashes, ellipsis...) get theirs, control characters become spaces, and anything else
// (including malformed UTF-8) becomes '?'.
std::string Utf8ToWindows1252(std::string_view text);

}  // namespace QuarloSandbox::detail
