#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace QuarloSandbox::detail {

// A black-and-white raster image, row by row from the top, 1 for a black pixel.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> black;
};

// The image as a PNG file: 1-bit grayscale, not interlaced. The image data is stored in
// uncompressed deflate blocks, which keeps the writer free of a compression library; a
// barcode of a few hundred rows stays in the tens of kilobytes.
std::vector<std::uint8_t> EncodePng(const Bitmap& image);

// The image of a PNG file written as EncodePng writes them, every checksum verified; nullopt for
// anything else. This is what lets a PDF embed the barcode without handing the file to libpng
// through libhpdf, which aborts the whole process on a damaged PNG.
std::optional<Bitmap> DecodePng(const std::vector<std::uint8_t>& png);

}  // namespace QuarloSandbox::detail
