#include "render/png.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace QuarloSandbox::detail {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kStoredBlockLimit = 65535;
constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Far beyond any barcode, small enough that a forged header cannot ask for gigabytes.
constexpr std::uint32_t kLargestSide = 16384;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFU;
  for (std::size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFU;
}

std::uint32_t Adler32(const Bytes& data) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void PutChunk(Bytes& out, std::string_view type, const Bytes& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

// Each scanline: filter type 0, then the pixels eight to a byte, leftmost in the highest bit,
// 0 for black (1-bit grayscale counts up from black).
Bytes Scanlines(const Bitmap& image) {
  const auto width = static_cast<std::size_t>(image.width);
  const std::size_t stride = (width + 7) / 8;
  Bytes raw(static_cast<std::size_t>(image.height) * (stride + 1), 0);
  for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
    std::uint8_t* line = raw.data() + y * (stride + 1) + 1;
    std::fill(line, line + stride, 0xFF);
    for (std::size_t x = 0; x < width; ++x) {
      if (image.black[y * width + x] != 0) {
        line[x / 8] = static_cast<std::uint8_t>(line[x / 8] & ~(0x80U >> (x % 8)));
      }
    }
  }
  return raw;
}

Bytes ZlibStored(const Bytes& raw) {
  Bytes out{0x78, 0x01};
  std::size_t offset = 0;
  do {
    const std::size_t size = std::min(kStoredBlockLimit, raw.size() - offset);
    const bool last = offset + size == raw.size();
    const auto length = static_cast<std::uint16_t>(size);
    const auto complement = static_cast<std::uint16_t>(~length);
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(complement & 0xFF));
    out.push_back(static_cast<std::uint8_t>(complement >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
               raw.begin() + static_cast<std::ptrdiff_t>(offset + size));
    offset += size;
  } while (offset < raw.size());
  PutBigEndian(out, Adler32(raw));
  return out;
}

Bytes Header(const Bitmap& image) {
  Bytes header;
  PutBigEndian(header, static_cast<std::uint32_t>(image.width));
  PutBigEndian(header, static_cast<std::uint32_t>(image.height));
  // bit depth 1, grayscale, deflate, adaptive filtering, no interlace
  header.insert(header.end(), {1, 0, 0, 0, 0});
  return header;
}

// Reads big-endian numbers and byte runs, refusing to run past the end.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Has(std::size_t count) const { return size_ - offset_ >= count; }
  std::size_t Offset() const { return offset_; }
  const std::uint8_t* Here() const { return data_ + offset_; }
  std::uint8_t Byte() { return data_[offset_++]; }
  std::uint32_t BigEndian() {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = (value << 8) | Byte();
    return value;
  }
  std::uint16_t LittleEndian16() {
    const std::uint8_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }
  void Skip(std::size_t count) { offset_ += count; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

struct Chunk {
  std::string_view type;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

std::optional<Chunk> NextChunk(Reader& reader) {
  if (!reader.Has(12)) return std::nullopt;
  const std::uint32_t size = reader.BigEndian();
  if (!reader.Has(std::size_t{size} + 8)) return std::nullopt;
  const std::uint8_t* start = reader.Here();
  reader.Skip(4 + std::size_t{size});
  if (reader.BigEndian() != Crc32(start, 4 + std::size_t{size})) return std::nullopt;
  return Chunk{std::string_view(reinterpret_cast<const char*>(start), 4), start + 4, size};
}

bool ReadHeader(const Chunk& chunk, Bitmap& image) {
  if (chunk.type != "IHDR" || chunk.size != 13) return false;
  Reader header(chunk.data, chunk.size);
  const std::uint32_t width = header.BigEndian();
  const std::uint32_t height = header.BigEndian();
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) return false;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  const std::array<std::uint8_t, 5> expected{1, 0, 0, 0, 0};
  return std::equal(expected.begin(), expected.end(), chunk.data + 8);
}

// The data of a zlib stream made of stored blocks only, its Adler-32 checked.
std::optional<Bytes> InflateStored(const Bytes& stream) {
  Reader reader(stream.data(), stream.size());
  if (!reader.Has(2)) return std::nullopt;
  const std::uint8_t method = reader.Byte();
  const std::uint8_t flags = reader.Byte();
  if ((method & 0x0F) != 8 || (method * 256 + flags) % 31 != 0 || (flags & 0x20) != 0) {
    return std::nullopt;
  }
  Bytes data;
  for (bool last = false; !last;) {
    if (!reader.Has(5)) return std::nullopt;
    const std::uint8_t header = reader.Byte();
    if ((header & 0x06) != 0) return std::nullopt;  // a compressed block: not written by us
    last = (header & 0x01) != 0;
    const std::uint16_t length = reader.LittleEndian16();
    if (static_cast<std::uint16_t>(~reader.LittleEndian16()) != length || !reader.Has(length)) {
      return std::nullopt;
    }
    data.insert(data.end(), reader.Here(), reader.Here() + length);
    reader.Skip(length);
  }
  if (!reader.Has(4) || reader.BigEndian() != Adler32(data)) return std::nullopt;
  return data;
}

bool ReadPixels(const Bytes& raw, Bitmap& image) {
  const auto width = static_cast<std::size_t>(image.width);
  const std::size_t stride = (width + 7) / 8;
  if (raw.size() != static_cast<std::size_t>(image.height) * (stride + 1)) return false;
  image.black.assign(width * static_cast<std::size_t>(image.height), 0);
  for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
    const std::uint8_t* line = raw.data() + y * (stride + 1);
    if (line[0] != 0) return false;
    for (std::size_t x = 0; x < width; ++x) {
      image.black[y * width + x] = ((line[1 + x / 8] >> (7 - x % 8)) & 1) == 0 ? 1 : 0;
    }
  }
  return true;
}

}  // namespace

std::optional<Bitmap> DecodePng(const std::vector<std::uint8_t>& png) {
  Reader reader(png.data(), png.size());
  if (!reader.Has(kSignature.size()) ||
      !std::equal(kSignature.begin(), kSignature.end(), png.begin())) {
    return std::nullopt;
  }
  reader.Skip(kSignature.size());
  Bitmap image;
  const std::optional<Chunk> header = NextChunk(reader);
  if (!header || !ReadHeader(*header, image)) return std::nullopt;
  Bytes stream;
  for (;;) {
    const std::optional<Chunk> chunk = NextChunk(reader);
    if (!chunk) return std::nullopt;
    if (chunk->type == "IEND") break;
    if (chunk->type == "IDAT") stream.insert(stream.end(), chunk->data, chunk->data + chunk->size);
  }
  const std::optional<Bytes> raw = InflateStored(stream);
  if (!raw || !ReadPixels(*raw, image)) return std::nullopt;
  return image;
}

std::vector<std::uint8_t> EncodePng(const Bitmap& image) {
  Bytes png(kSignature.begin(), kSignature.end());
  PutChunk(png, "IHDR", Header(image));
  PutChunk(png, "IDAT", ZlibStored(Scanlines(image)));
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace QuarloSandbox::detail
