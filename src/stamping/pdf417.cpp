#include <algorithm>
#include <array>
#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>
#include <vector>

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

// The image byte of four modules side by side, indexed by their bars (1) from the leftmost
// module in the highest bit: two pixels a module, 0 for a bar's.
constexpr std::array<std::uint8_t, 16> kFourModules = [] {
  std::array<std::uint8_t, 16> bytes{};
  for (unsigned bars = 0; bars < 16; ++bars) {
    unsigned pixels = 0;
    for (int module = 3; module >= 0; --module) {
      pixels = (pixels << 2) | (((bars >> module) & 1U) != 0 ? 0U : 3U);
    }
    bytes[bars] = static_cast<std::uint8_t>(pixels);
  }
  return bytes;
}();
static_assert(kModulePixels == 2 && kQuietPixels == 4, "an image byte holds four whole modules");

// Writes one symbol row as packed pixels, a byte at a time from a table: `padded` holds the row's
// modules after two of quiet zone, and white after them to a whole byte's worth.
void DrawRow(const std::uint8_t* padded, std::size_t bytes, std::uint8_t* line) {
  for (std::size_t byte = 0; byte < bytes; ++byte, padded += 4) {
    const unsigned bars = (padded[0] * 8U) | (padded[1] * 4U) | (padded[2] * 2U) | padded[3];
    line[byte] = kFourModules[bars];
  }
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
  const auto width = static_cast<std::size_t>(symbol.width);
  const std::size_t quietModules = kQuietPixels / kModulePixels;
  std::vector<std::uint8_t> padded(stride * 4, 0);
  for (int row = 0; row < symbol.rows; ++row) {
    std::uint8_t* line =
        image.rows.data() + static_cast<std::size_t>(kQuietPixels + row * kRowPixels) * stride;
    // Any non-zero entry is a bar, as At reads it; the table takes only 0 and 1.
    const auto first =
        symbol.dark.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(row) * width);
    std::transform(first, first + static_cast<std::ptrdiff_t>(width),
                   padded.begin() + static_cast<std::ptrdiff_t>(quietModules),
                   [](std::uint8_t module) { return static_cast<std::uint8_t>(module != 0); });
    DrawRow(padded.data(), stride, line);
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
