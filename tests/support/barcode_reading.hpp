#pragma once

// Reading barcode images back with libraries independent of the ones that wrote them: libpng
// for the file, ZXing for the symbol. Only test programs that link ZXing and libpng include it.

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>
#include <png.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace QuarloCliente::testing {

// An 8-bit grayscale image, 0 black and 255 white.
struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// The image of a PNG file as libpng reads it, nullopt when libpng refuses the file.
inline std::optional<GrayImage> ReadPngWithLibpng(const std::vector<std::uint8_t>& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) return std::nullopt;
  image.format = PNG_FORMAT_GRAY;
  GrayImage gray{static_cast<int>(image.width), static_cast<int>(image.height), {}};
  gray.pixels.resize(std::size_t{image.width} * std::size_t{image.height});
  if (png_image_finish_read(&image, nullptr, gray.pixels.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return std::nullopt;
  }
  return gray;
}

// The bytes of the PDF417 symbol ZXing finds in the image, nullopt when it finds none.
inline std::optional<std::vector<std::uint8_t>> ReadPdf417(const GrayImage& image) {
  const ZXing::ImageView view(image.pixels.data(), image.width, image.height,
                              ZXing::ImageFormat::Lum);
  const auto hints =
      ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::PDF417).setTryHarder(true);
  const ZXing::Result result = ZXing::ReadBarcode(view, hints);
  if (!result.isValid()) return std::nullopt;
  return std::vector<std::uint8_t>(result.bytes().begin(), result.bytes().end());
}

}  // namespace QuarloCliente::testing
