#include "render/barcode.hpp"

#include "stamping/pdf417_symbol.hpp"

namespace QuarloSandbox {
namespace {

using QuarloCliente::detail::Pdf417Modules;

// Modules per character of the font form, and the character of the all-light group.
constexpr int kModulesPerGlyph = 4;
constexpr char kFirstGlyph = 'A';

char Glyph(const Pdf417Modules& symbol, int row, int first) {
  int value = 0;
  for (int k = 0; k < kModulesPerGlyph; ++k) {
    const int column = first + k;
    value = value * 2 + (column < symbol.width && symbol.At(row, column) ? 1 : 0);
  }
  return static_cast<char>(kFirstGlyph + value);
}

}  // namespace

std::string Pdf417FontRows(const Bytes& data, int columns, int level) {
  const Pdf417Modules symbol = QuarloCliente::detail::Pdf417Symbol(data, columns, level);
  std::string text;
  for (int row = 0; row < symbol.rows; ++row) {
    if (row > 0) text += "\r\n";
    for (int first = 0; first < symbol.width; first += kModulesPerGlyph) {
      text += Glyph(symbol, row, first);
    }
  }
  return text;
}

}  // namespace QuarloSandbox
