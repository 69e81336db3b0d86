#include "stamping/pdf417_symbol.hpp"

#include <zint.h>

#include <memory>
#include <new>
#include <quarlo/error.hpp>
#include <string>

namespace QuarloCliente::detail {
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

void CheckLayout(const Bytes& data, int columns, int level) {
  if (columns < 1 || columns > 30) {
    throw Error("las columnas del PDF417 deben estar entre 1 y 30");
  }
  if (level < 0 || level > 8) {
    throw Error("el nivel de corrección del PDF417 debe estar entre 0 y 8");
  }
  if (data.empty()) throw Error("no hay datos para el código PDF417");
  if (data.size() > kPdf417MaxBytes) {
    throw Error("los datos no caben en un código PDF417 (" + std::to_string(data.size()) +
                " bytes)");
  }
}

Pdf417Modules ReadModules(const zint_symbol& symbol) {
  Pdf417Modules modules;
  modules.rows = symbol.rows;
  modules.width = symbol.width;
  modules.dark.resize(static_cast<std::size_t>(modules.rows) *
                      static_cast<std::size_t>(modules.width));
  std::uint8_t* out = modules.dark.data();
  for (int row = 0; row < modules.rows; ++row) {
    for (int column = 0; column < modules.width; ++column) {
      *out++ = ModuleIsSet(symbol, row, column) ? 1 : 0;
    }
  }
  return modules;
}

}  // namespace

Pdf417Modules Pdf417Symbol(const Bytes& data, int columns, int level) {
  CheckLayout(data, columns, level);
  // Each call has its own symbol; libzint keeps no other mutable state, so threads may encode
  // at the same time.
  const SymbolPtr symbol(ZBarcode_Create());
  if (!symbol) throw std::bad_alloc();
  symbol->symbology = BARCODE_PDF417;
  symbol->input_mode = DATA_MODE;
  symbol->option_1 = level;
  symbol->option_2 = columns;
  const int status = ZBarcode_Encode(symbol.get(), data.data(), static_cast<int>(data.size()));
  if (status == ZINT_ERROR_MEMORY) throw std::bad_alloc();
  if (status >= ZINT_ERROR) {
    throw Error("los datos no caben en un código PDF417 (" + std::string(symbol->errtxt) + ")");
  }
  return ReadModules(*symbol);
}

}  // namespace QuarloCliente::detail
