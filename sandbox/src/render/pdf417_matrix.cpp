#include "render/pdf417_matrix.hpp"

#include <zint.h>

#include <climits>
#include <memory>
#include <string>

#include "sandbox_error.hpp"

namespace QuarloSandbox::detail {
namespace {

struct SymbolFree {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using SymbolPtr = std::unique_ptr<zint_symbol, SymbolFree>;

// libzint 2.11 packs encoded_data eight modules to a byte, the leftmost module in the lowest
// bit; the tests decode what this reads, so a change of layout would not go unnoticed.
bool ModuleIsSet(const zint_symbol& symbol, int row, int column) {
  const auto byte = symbol.encoded_data[row][column >> 3];
  return ((byte >> (column & 7)) & 1) != 0;
}

}  // namespace

ModuleMatrix EncodePdf417(const Bytes& data, int columns, int level) {
  if (columns < 1 || columns > 30) {
    throw SandboxError(400, "las columnas del PDF417 deben estar entre 1 y 30");
  }
  if (level < 0 || level > 8) {
    throw SandboxError(400, "el nivel de corrección del PDF417 debe estar entre 0 y 8");
  }
  if (data.empty()) throw SandboxError(400, "no hay datos para el código PDF417");
  if (data.size() > static_cast<std::size_t>(INT_MAX)) {
    throw SandboxError(400, "los datos no caben en un código PDF417");
  }
  // Each call has its own symbol; libzint keeps no other mutable state, so threads may encode
  // at the same time.
  const SymbolPtr symbol(ZBarcode_Create());
  if (!symbol) throw SandboxError(500, "sin memoria para el código PDF417");
  symbol->symbology = BARCODE_PDF417;
  symbol->input_mode = DATA_MODE;
  symbol->option_1 = level;
  symbol->option_2 = columns;
  const int status = ZBarcode_Encode(symbol.get(), data.data(), static_cast<int>(data.size()));
  if (status == ZINT_ERROR_MEMORY) throw SandboxError(500, "sin memoria para el código PDF417");
  if (status >= ZINT_ERROR) {
    throw SandboxError(
        400, "los datos no caben en un código PDF417 (" + std::string(symbol->errtxt) + ")");
  }
  ModuleMatrix matrix;
  matrix.rows = symbol->rows;
  matrix.width = symbol->width;
  matrix.dark.reserve(static_cast<std::size_t>(matrix.rows) *
                      static_cast<std::size_t>(matrix.width));
  for (int row = 0; row < matrix.rows; ++row) {
    for (int column = 0; column < matrix.width; ++column) {
      matrix.dark.push_back(ModuleIsSet(*symbol, row, column) ? 1 : 0);
    }
  }
  return matrix;
}

}  // namespace QuarloSandbox::detail
