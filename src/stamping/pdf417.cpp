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

// Writes one symbol row as packed pixels from the row's first byte: the left quiet zone, then
// each module's pixels, gathered a byte at a time instead of set one bit at a time. The bytes
// after the last module's are left as they are (white).
void DrawRow(const std::uint8_t* modules, int width, std::uint8_t* line) {
  constexpr std::uint32_t kWhiteModule = (1U << kModulePixels) - 1;
  std::uint32_t bits = (1U << kQuietPixels) - 1;
  int held = kQuietPixels;
  for (int column = 0; column < width; ++column) {
    bits = (bits << kModulePixels) | (modules[column] != 0 ? 0U : kWhiteModule);
    held += kModulePixels;
    if (held >= 8) {
      held -= 8;
      *line++ = static_cast<std::uint8_t>(bits >> held);
    }
  }
  if (held > 0) *line = static_cast<std::uint8_t>((bits << (8 - held)) | (0xFFU >> held));
}

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
    DrawRow(
        symbol.dark.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(symbol.width),
        symbol.width, line);
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
