#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace QuarloSandbox {

using Bytes = std::vector<std::uint8_t>;

// A PNG image of the PDF417 barcode of the data (the TED's ISO-8859-1 bytes), with the given
// number of data columns (1..30) and error-correction level (0..8); throws SandboxError(400, ...)
// for values out of range or data the symbology cannot hold.
Bytes Pdf417Png(const Bytes& data, int columns, int level);

// The same barcode as text for a PDF417 font: one line per row, each character standing for one
// codeword pattern, rows separated by CR LF. Characters are ISO-8859-1 (returned as UTF-8 text).
std::string Pdf417FontRows(const Bytes& data, int columns, int level);

}  // namespace QuarloSandbox
