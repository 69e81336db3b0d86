#pragma once

#include <cstdint>
#include <quarlo/types.hpp>
#include <vector>

namespace QuarloCliente::detail {

// A black-and-white raster image, packed as 1-bit grey PNG files and PDF DeviceGray image
// streams both hold it: row by row from the top, Stride() bytes a row, the leftmost pixel in the
// highest bit, 0 for black; the bits past the last pixel of a row are white.
struct MonoImage {
  int width = 0;
  int height = 0;
  Bytes rows;

  std::size_t Stride() const { return (static_cast<std::size_t>(width) + 7) / 8; }
};

// The image as a PNG file (1-bit grey, not interlaced) written by libpng; throws Error when
// libpng fails and std::bad_alloc when memory runs out.
Bytes WriteMonoPng(const MonoImage& image);

}  // namespace QuarloCliente::detail
