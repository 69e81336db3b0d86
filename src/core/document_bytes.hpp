#pragma once

#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// The bytes of an XML document as a file holds them, as UTF-8 text: valid UTF-8 comes back
// unchanged; anything else is decoded by the encoding its declaration names (ISO-8859-1,
// windows-1252 or US-ASCII, names in any letter case), or as ISO-8859-1 when it names none. The
// declaration is kept as written. Throws Error naming an encoding the library does not read, and
// for a byte that the declared encoding does not have.
std::string DocumentBytesToUtf8(std::string_view bytes);

// The same text without a copy when the bytes are valid UTF-8 (the view of `bytes` itself);
// otherwise the decoded text, held in `storage`.
std::string_view DocumentBytesAsUtf8(std::string_view bytes, std::string& storage);

}  // namespace QuarloCliente::detail
