#include "render/barcode.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "core/charset.hpp"
#include "image_checks.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {
namespace {

using checks::GrayImage;

Bytes TedBytes() {
  return QuarloCliente::detail::Utf8ToLatin1(StampTed(checks::SampleFields(), checks::TestCaf()));
}

// Pixels of the PNG form: a module is 2 pixels wide, a row 6 high, inside a 4-pixel margin.
int ImageWidthFor(int columns) {
  return (17 * (columns + 4) + 1) * 2 + 8;
}

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

TEST(Pdf417, PngOfATedDecodesBackToItsExactBytes) {
  const Bytes ted = TedBytes();
  ASSERT_GT(ted.size(), 850U) << "a TED as large as real ones";
  for (const auto& [columns, level] : std::vector<std::pair<int, int>>{{12, 5}, {30, 0}}) {
    const std::optional<GrayImage> image =
        checks::ReadPngWithLibpng(Pdf417Png(ted, columns, level));
    ASSERT_TRUE(image) << columns << "/" << level;
    EXPECT_EQ(image->width, ImageWidthFor(columns));
    EXPECT_EQ(checks::ReadPdf417(*image), ted) << columns << "/" << level;
  }
}

TEST(Pdf417, DataTooLongForTheColumnsGetsAWiderSymbolThatStillDecodes) {
  const Bytes ted = TedBytes();
  const std::optional<GrayImage> image = checks::ReadPngWithLibpng(Pdf417Png(ted, 5, 2));
  ASSERT_TRUE(image);
  EXPECT_GT(image->width, ImageWidthFor(5));
  EXPECT_LE(image->height, 90 * 6 + 8);
  EXPECT_EQ(checks::ReadPdf417(*image), ted);
}

TEST(Pdf417, EveryByteValueSurvivesTheRoundTrip) {
  Bytes data;
  for (int value = 0; value < 256; ++value) data.push_back(static_cast<std::uint8_t>(value));
  const std::optional<GrayImage> image = checks::ReadPngWithLibpng(Pdf417Png(data, 8, 8));
  ASSERT_TRUE(image);
  EXPECT_EQ(checks::ReadPdf417(*image), data);
  const Bytes tiny{'7'};
  const std::optional<GrayImage> small = checks::ReadPngWithLibpng(Pdf417Png(tiny, 1, 0));
  ASSERT_TRUE(small);
  EXPECT_EQ(checks::ReadPdf417(*small), tiny);
}

TEST(Pdf417, FontRowsAreTheSameSymbolAsTheImage) {
  const Bytes ted = TedBytes();
  const std::string rows = Pdf417FontRows(ted, 10, 5);
  EXPECT_EQ(rows.find_first_not_of("ABCDEFGHIJKLMNOP\r\n"), std::string::npos);
  EXPECT_NE(rows.find("\r\n"), std::string::npos);
  EXPECT_NE(rows.substr(rows.size() - 2), "\r\n");
  const GrayImage drawn = DrawFontRows(rows);
  EXPECT_EQ(checks::ReadPdf417(drawn), ted);

  const std::optional<GrayImage> png = checks::ReadPngWithLibpng(Pdf417Png(ted, 10, 5));
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
    for (const bool font : {false, true}) {
      try {
        if (font) {
          Pdf417FontRows(bytes, columns, level);
        } else {
          Pdf417Png(bytes, columns, level);
        }
        ADD_FAILURE() << columns << "/" << level << " with " << bytes.size() << " bytes";
      } catch (const SandboxError& error) {
        EXPECT_EQ(error.status(), 400);
      }
    }
  }
}

}  // namespace
}  // namespace QuarloSandbox
