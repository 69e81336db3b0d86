#include "render/barcode.hpp"

#include "render/pdf417_matrix.hpp"
#include "render/png.hpp"

namespace QuarloSandbox {
namespace {

using detail::Bitmap;
using detail::ModuleMatrix;

// A module two pixels wide and a row three modules high, as libzint draws PDF417 by default,
// with the two-module quiet zone PDF417 asks for on every side.
constexpr int kModulePixels = 2;
constexpr int kRowPixels = 3 * kModulePixels;
constexpr int kQuietPixels = 2 * kModulePixels;

// Modules per character of the font form, and the character of the all-light group.
constexpr int kModulesPerGlyph = 4;
constexpr char kFirstGlyph = 'A';

Bitmap Draw(const ModuleMatrix& matrix) {
  Bitmap image;
  image.width = matrix.width * kModulePixels + 2 * kQuietPixels;
  image.height = matrix.rows * kRowPixels + 2 * kQuietPixels;
  image.black.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height),
                     0);
  for (int y = kQuietPixels; y < image.height - kQuietPixels; ++y) {
    const int row = (y - kQuietPixels) / kRowPixels;
    for (int x = kQuietPixels; x < image.width - kQuietPixels; ++x) {
      if (matrix.At(row, (x - kQuietPixels) / kModulePixels)) {
        image.black[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                    static_cast<std::size_t>(x)] = 1;
      }
    }
  }
  return image;
}

char Glyph(const ModuleMatrix& matrix, int row, int first) {
  int value = 0;
  for (int k = 0; k < kModulesPerGlyph; ++k) {
    const int column = first + k;
    value = value * 2 + (column < matrix.width && matrix.At(row, column) ? 1 : 0);
  }
  return static_cast<char>(kFirstGlyph + value);
}

}  // namespace

Bytes Pdf417Png(const Bytes& data, int columns, int level) {
  return detail::EncodePng(Draw(detail::EncodePdf417(data, columns, level)));
}

std::string Pdf417FontRows(const Bytes& data, int columns, int level) {
  const ModuleMatrix matrix = detail::EncodePdf417(data, columns, level);
  std::string text;
  for (int row = 0; row < matrix.rows; ++row) {
    if (row > 0) text += "\r\n";
    for (int first = 0; first < matrix.width; first += kModulesPerGlyph) {
      text += Glyph(matrix, row, first);
    }
  }
  return text;
}

}  // namespace QuarloSandbox
