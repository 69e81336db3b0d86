#pragma once

#include <quarlo/types.hpp>
#include <string>

namespace QuarloCli {

// The bytes of a retrieved XML text (UTF-8) in the encoding its declaration names, so that a
// saved document reads back as it was: under ISO-8859-1, the SII's, one byte per character and a
// character beyond it as a character reference; under any other declaration, or none, UTF-8.
QuarloCliente::Bytes DeclaredEncodingBytes(const std::string& xml);

}  // namespace QuarloCli
