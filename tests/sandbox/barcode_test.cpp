#include "render/barcode.hpp"

#include <gtest/gtest.h>

#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>
#include <tuple>

#include "core/charset.hpp"
#include "image_checks.hpp"

namespace QuarloSandbox {
namespace {

using checks::GrayImage;

// Draws font text the way a PDF417 font would, at the PNG form's scale.
GrayImage DrawFontRows(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  GrayImage image;
  image.width = static_cast<int>(lines.front().size()) * 4 * 2 + 8;
  image.height = static_cast<int>(lines.size()) * 6 + 8;
  image.pixels.assign(static_cast<std::size_t>(image.width * image.height), 255);
  for (std::size_t row = 0; row < lines.size(); ++row) {
    EXPECT_EQ(lines[row].size(), lines.front().size()) << "row " << row;
    for (std::size_t i = 0; i < lines[row].size(); ++i) {
      const int value = lines[row][i] - 'A';
      EXPECT_TRUE(value >= 0 && value < 16) << lines[row][i];
      if (value < 0 || value >= 16) continue;
      for (int bit = 0; bit < 4; ++bit) {
        if (((value >> (3 - bit)) & 1) == 0) continue;
        const std::size_t x0 = 4 + (i * 4 + static_cast<std::size_t>(bit)) * 2;
        for (std::size_t y = 4 + row * 6; y < 10 + row * 6; ++y) {
          image.pixels[y * static_cast<std::size_t>(image.width) + x0] = 0;
          image.pixels[y * static_cast<std::size_t>(image.width) + x0 + 1] = 0;
        }
      }
    }
  }
  return image;
}

TEST(Pdf417, FontRowsAreTheSameSymbolAsTheLibrarysImage) {
  const std::string tedText = StampTed(checks::SampleFields(), checks::TestCaf());
  const Bytes ted = QuarloCliente::detail::Utf8ToLatin1(tedText);
  const std::string rows = Pdf417FontRows(ted, 10, 5);
  EXPECT_EQ(rows.find_first_not_of("ABCDEFGHIJKLMNOP\r\n"), std::string::npos);
  EXPECT_NE(rows.find("\r\n"), std::string::npos);
  EXPECT_NE(rows.substr(rows.size() - 2), "\r\n");
  const GrayImage drawn = DrawFontRows(rows);
  EXPECT_EQ(checks::ReadPdf417(drawn), ted);

  const std::optional<GrayImage> png =
      checks::ReadPngWithLibpng(QuarloCliente::CodigoPdf417Png(tedText, 10, 5));
  ASSERT_TRUE(png);
  ASSERT_EQ(drawn.height, png->height);
  // The font form pads a row to whole characters with spaces, past the image's margin.
  ASSERT_GE(drawn.width, png->width - 4);
  for (int y = 0; y < png->height; ++y) {
    for (int x = 0; x < png->width - 4; ++x) {
      ASSERT_EQ(drawn.pixels[static_cast<std::size_t>(y * drawn.width + x)],
                png->pixels[static_cast<std::size_t>(y * png->width + x)])
          << x << "," << y;
    }
  }
}

TEST(Pdf417, LayoutsOutOfRangeAndDataNoSymbolHoldsAreRefused) {
  const Bytes data{'a', 'b', 'c'};
  const Bytes huge(4000, 0xAB);
  for (const auto& [bytes, columns, level] : std::vector<std::tuple<Bytes, int, int>>{
           {data, 0, 2}, {data, 31, 2}, {data, 5, -1}, {data, 5, 9}, {{}, 5, 2}, {huge, 30, 8}}) {
    EXPECT_THROW(Pdf417FontRows(bytes, columns, level), QuarloCliente::Error)
        << columns << "/" << level << " with " << bytes.size() << " bytes";
  }
}

}  // namespace
}  // namespace QuarloSandbox
