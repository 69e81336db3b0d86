#pragma once

#include <cstdint>
#include <quarlo/types.hpp>
#include <vector>

namespace QuarloCliente::detail {

// A black-and-white raster image, row by row from the top, 1 for a black pixel.
struct MonoImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> black;
};

// The image's rows packed as 1-bit grey PNG files and PDF DeviceGray image streams both hold
// them: (width + 7) / 8 bytes a row, the leftmost pixel in the highest bit, 0 for black.
Bytes PackMonoRows(const MonoImage& image);

// The image as a PNG file (1-bit grey, not interlaced) written by libpng; throws Error when
// libpng fails and std::bad_alloc when memory runs out.
Bytes WriteMonoPng(const MonoImage& image);

}  // namespace QuarloCliente::detail
