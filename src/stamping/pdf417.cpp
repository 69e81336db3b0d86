#include <algorithm>
#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>

#include "core/charset.hpp"
#include "stamping/mono_png.hpp"
#include "stamping/pdf417_symbol.hpp"

namespace QuarloCliente {
namespace detail {
namespace {

// A module two pixels wide and a row three modules high, as libzint draws PDF417 by default,
// with the two-module quiet zone PDF417 asks for on every side.
constexpr int kModulePixels = 2;
constexpr int kRowPixels = 3 * kModulePixels;
constexpr int kQuietPixels = 2 * kModulePixels;

}  // namespace

MonoImage DrawPdf417(const Pdf417Modules& symbol) {
  MonoImage image;
  image.width = symbol.width * kModulePixels + 2 * kQuietPixels;
  image.height = symbol.rows * kRowPixels + 2 * kQuietPixels;
  const std::size_t stride = image.Stride();
  image.rows.assign(stride * static_cast<std::size_t>(image.height), 0xFF);
  // Each symbol row is drawn once and copied down its height: the sandbox draws one for every
  // stamped document it answers.
  for (int row = 0; row < symbol.rows; ++row) {
    std::uint8_t* line =
        image.rows.data() + static_cast<std::size_t>(kQuietPixels + row * kRowPixels) * stride;
    for (int column = 0; column < symbol.width; ++column) {
      if (!symbol.At(row, column)) continue;
      for (int pixel = 0; pixel < kModulePixels; ++pixel) {
        const auto x = static_cast<std::size_t>(kQuietPixels + column * kModulePixels + pixel);
        line[x / 8] = static_cast<std::uint8_t>(line[x / 8] & ~(0x80U >> (x % 8)));
      }
    }
    for (int copy = 1; copy < kRowPixels; ++copy) {
      std::copy_n(line, stride, line + static_cast<std::size_t>(copy) * stride);
    }
  }
  return image;
}

}  // namespace detail

Bytes DatosPdf417(const std::string& ted) {
  // Every character takes at most four UTF-8 bytes and becomes one byte, so a text longer than
  // this cannot fit and is refused before it is converted.
  if (ted.size() > 4 * detail::kPdf417MaxBytes) {
    throw Error("el TED no cabe en un código PDF417 (" + std::to_string(ted.size()) + " bytes)");
  }
  Bytes data = detail::Utf8ToLatin1(ted);
  if (data.empty()) throw Error("el TED está vacío");
  if (data.size() > detail::kPdf417MaxBytes) {
    throw Error("el TED no cabe en un código PDF417 (" + std::to_string(data.size()) + " bytes)");
  }
  return data;
}

Bytes CodigoPdf417Png(const std::string& ted, int columnas, int nivelCorreccion) {
  const Bytes data = DatosPdf417(ted);
  return detail::WriteMonoPng(
      detail::DrawPdf417(detail::Pdf417Symbol(data, columnas, nivelCorreccion)));
}

}  // namespace QuarloCliente
