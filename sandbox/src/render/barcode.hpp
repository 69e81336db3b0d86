#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace QuarloSandbox {

using Bytes = std::vector<std::uint8_t>;

// A PNG image of the PDF417 barcode of the data (the TED's ISO-8859-1 bytes), with the given
// number of data columns (1..30) and error-correction level (0..8); throws SandboxError(400, ...)
// for values out of range or data the symbology cannot hold. Data that would need more than
// PDF417's 90 rows at the given columns gets a wider symbol. A module is 2 pixels wide, a row
// 6 pixels high, with a 4-pixel white margin; 1-bit grayscale.
Bytes Pdf417Png(const Bytes& data, int columns, int level);

// The same barcode as text for a PDF417 font: one line per symbol row, rows separated by CR LF,
// no quiet zone. Each character stands for four modules, read left to right as a binary number
// with a bar as 1 and the leftmost module as the highest bit, and is 'A' plus that number ('A'
// is four spaces, 'P' four bars, 'I' one bar and three spaces); the last character of a row is
// padded with spaces. A font for it has those 16 glyphs, each four modules wide and one row
// (three modules) high. The characters are ASCII, so the text is the same in ISO-8859-1.
std::string Pdf417FontRows(const Bytes& data, int columns, int level);

}  // namespace QuarloSandbox
