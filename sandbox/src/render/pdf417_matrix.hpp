#pragma once

#include <cstdint>
#include <vector>

#include "render/barcode.hpp"

namespace QuarloSandbox::detail {

// A PDF417 symbol as its modules: rows of `width` modules each, start and stop patterns
// included, no quiet zone.
struct ModuleMatrix {
  int rows = 0;
  int width = 0;
  std::vector<std::uint8_t> dark;  // rows * width entries, row by row, 1 for a bar module

  bool At(int row, int column) const {
    return dark[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(column)] != 0;
  }
};

// The symbol libzint makes of the data in byte mode with the given data columns (1..30) and
// error-correction level (0..8). When the data needs more than PDF417's 90 rows at that many
// columns, libzint widens the symbol. Throws SandboxError(400, ...) for values out of range, no
// data, or data too long for any PDF417 symbol.
ModuleMatrix EncodePdf417(const Bytes& data, int columns, int level);

}  // namespace QuarloSandbox::detail
