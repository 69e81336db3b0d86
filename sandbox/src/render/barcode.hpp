#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace QuarloSandbox {

using Bytes = std::vector<std::uint8_t>;

// The PDF417 barcode of the data (the TED's ISO-8859-1 bytes) as text for a PDF417 font, drawn
// from the library's symbol: one line per symbol row, rows separated by CR LF, no quiet zone.
// Each character stands for four modules, read left to right as a binary number with a bar as
// 1 and the leftmost module as the highest bit, and is 'A' plus that number ('A' is four spaces,
// 'P' four bars, 'I' one bar and three spaces); the last character of a row is padded with
// spaces. A font for it has those 16 glyphs, each four modules wide and one row (three modules)
// high. The characters are ASCII, so the text is the same in ISO-8859-1. Throws
// QuarloCliente::Error for columns (1..30) or level (0..8) out of range, or data no symbol holds.
std::string Pdf417FontRows(const Bytes& data, int columns, int level);

}  // namespace QuarloSandbox
