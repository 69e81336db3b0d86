#pragma once

#include <cstddef>
#include <cstdint>
#include <quarlo/types.hpp>
#include <vector>

#include "stamping/mono_png.hpp"

namespace QuarloCliente::detail {

// The most bytes any PDF417 symbol holds (text compaction at level 0); larger data is refused
// before libzint is asked, so a huge input costs nothing.
inline constexpr std::size_t kPdf417MaxBytes = 1850;

// A PDF417 symbol as its modules: rows of `width` modules each, start and stop patterns
// included, no quiet zone.
struct Pdf417Modules {
  int rows = 0;
  int width = 0;
  std::vector<std::uint8_t> dark;  // rows * width entries, row by row, 1 for a bar module

  // Whether the module at (row, column) is a bar.
  bool At(int row, int column) const {
    return dark[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(column)] != 0;
  }
};

// The symbol libzint makes of the bytes with the given data columns (1..30) and error-correction
// level (0..8), widened when the data needs more than 90 rows at that many columns. Throws Error
// for values out of range, no data, or data no PDF417 symbol holds.
Pdf417Modules Pdf417Symbol(const Bytes& data, int columns, int level);

// The symbol drawn as the PNG form shows it: a module 2 pixels wide, a row 6 pixels high, inside
// a 4-pixel white margin.
MonoImage DrawPdf417(const Pdf417Modules& symbol);

}  // namespace QuarloCliente::detail
