#include "stamping/mono_png.hpp"

#include <png.h>

#include <csetjmp>
#include <new>
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {
namespace {

// The PNG being written and where its bytes go; a failure to append is remembered so that the
// error can be raised once the C++ frames of the write callback are gone.
struct Sink {
  Bytes* out = nullptr;
  bool outOfMemory = false;
};

// The libpng write and info structures of one file, released on every path.
class PngWriter {
 public:
  PngWriter()
      : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr)),
        info_(png_ ? png_create_info_struct(png_) : nullptr) {
    if (!png_ || !info_) {
      png_destroy_write_struct(png_ ? &png_ : nullptr, nullptr);
      throw std::bad_alloc();
    }
  }
  ~PngWriter() { png_destroy_write_struct(&png_, &info_); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  try {
    sink->out->insert(sink->out->end(), data, data + size);
  } catch (...) {
    sink->outOfMemory = true;
  }
  // libpng leaves by longjmp, which must not cross a live C++ handler.
  if (sink->outOfMemory) png_error(png, "sin memoria");
}

void FlushNothing(png_structp) {}

// The only frame libpng may longjmp out of: it holds nothing that needs destroying, so the
// jump skips no destructor.
bool Encode(png_structp png, png_infop info, const MonoImage& image, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // A barcode's rows repeat the row above and are mostly runs: the fastest level finds nearly all
  // of it. zlib's default tables stay: a smaller memory level ends a deflate block (and builds its
  // Huffman trees) every 256 symbols, and a smaller window slides its hash table every kilobyte,
  // which cost more than the set-up they spare.
  png_set_compression_level(png, 1);
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

}  // namespace

Bytes WriteMonoPng(const MonoImage& image) {
  // libpng takes the rows through non-const pointers but does not write to them.
  auto* first = const_cast<png_byte*>(image.rows.data());
  std::vector<png_bytep> rows;
  rows.reserve(static_cast<std::size_t>(image.height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
    rows.push_back(first + y * image.Stride());
  }
  Bytes out;
  Sink sink{&out};
  const PngWriter writer;
  png_set_write_fn(writer.Png(), &sink, Append, FlushNothing);
  if (!Encode(writer.Png(), writer.Info(), image, rows.data())) {
    if (sink.outOfMemory) throw std::bad_alloc();
    throw Error("no se pudo escribir la imagen PNG");
  }
  return out;
}

}  // namespace QuarloCliente::detail
