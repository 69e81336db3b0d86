#include <gtest/gtest.h>

#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "barcode_reading.hpp"
#include "core/charset.hpp"
#include "stamping/pdf417_symbol.hpp"

namespace QuarloCliente {
namespace {

using testing::GrayImage;
using testing::ReadPdf417;
using testing::ReadPngWithLibpng;

// A TED shaped and sized like the ones a CAF stamps, with the receiver in Ñuñoa.
std::string TedWithAccents() {
  const std::string key(172, 'Q');
  return "<TED version=\"1.0\"><DD><RE>76192083-9</RE><TD>33</TD><F>1234</F>"
         "<FE>2024-05-17</FE><RR>77654321-K</RR><RSR>Comercial Ñuñoa Ltda.</RSR>"
         "<MNT>119000</MNT><IT1>Café de grano «Peñalolén»</IT1><CAF version=\"1.0\"><DA>"
         "<RE>76192083-9</RE><RS>EMISOR DE PRUEBA</RS><TD>33</TD><RNG><D>1</D><H>5000</H></RNG>"
         "<FA>2024-01-02</FA><RSAPK><M>" +
         key + "</M><E>Aw==</E></RSAPK><IDK>100</IDK></DA><FRMA algoritmo=\"SHA1withRSA\">" +
         std::string(88, 'f') + "</FRMA></CAF><TSTED>2024-05-17T10:20:30</TSTED></DD>" +
         "<FRMT algoritmo=\"SHA1withRSA\">" + std::string(88, 't') + "</FRMT></TED>";
}

// Pixels of the PNG form: a module is 2 pixels wide, a row 6 high, inside a 4-pixel margin.
int ImageWidthFor(int columns) {
  return (17 * (columns + 4) + 1) * 2 + 8;
}

std::optional<Bytes> DecodedPng(const Bytes& png) {
  const std::optional<GrayImage> image = ReadPngWithLibpng(png);
  if (!image) return std::nullopt;
  return ReadPdf417(*image);
}

TEST(Pdf417, PngOfATedWithAccentsDecodesToItsIsoBytes) {
  const std::string ted = TedWithAccents();
  const Bytes iso = DatosPdf417(ted);
  EXPECT_EQ(detail::Latin1ToUtf8(iso), ted);
  EXPECT_NE(std::string(iso.begin(), iso.end()).find("Comercial \xD1u\xF1oa Ltda."),
            std::string::npos);
  ASSERT_GT(iso.size(), 700U) << "a TED as large as real ones";
  for (const auto& [columns, level] : std::vector<std::pair<int, int>>{{12, 5}, {30, 0}}) {
    const Bytes png = CodigoPdf417Png(ted, columns, level);
    EXPECT_EQ(DecodedPng(png), iso) << columns << "/" << level;
    const std::optional<GrayImage> image = ReadPngWithLibpng(png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, ImageWidthFor(columns));
    EXPECT_EQ((image->height - 8) % 6, 0);
    ASSERT_GT(png.size(), 26U);
    EXPECT_EQ(png[24], 1) << "bit depth";
    EXPECT_EQ(png[25], 0) << "grey";
  }
  // Five columns cannot hold a whole TED in 90 rows: the symbol widens and still decodes.
  const std::optional<GrayImage> wide = ReadPngWithLibpng(CodigoPdf417Png(ted));
  ASSERT_TRUE(wide);
  EXPECT_GT(wide->width, ImageWidthFor(5));
  EXPECT_LE(wide->height, 90 * 6 + 8);
  EXPECT_EQ(ReadPdf417(*wide), iso);
}

// Every pixel of the drawn image, module by module and margin by margin, for symbols of every
// width modulo four modules, so that each way a row can end inside a byte is drawn once.
TEST(Pdf417, ImagePixelsFollowTheModules) {
  for (int width = 1; width <= 12; ++width) {
    detail::Pdf417Modules symbol;
    symbol.rows = 3;
    symbol.width = width;
    for (int module = 0; module < symbol.rows * width; ++module) {
      // Any non-zero entry is a bar.
      symbol.dark.push_back(
          static_cast<std::uint8_t>((module * 7 + module / 3) % 5 < 2 ? module % 3 + 1 : 0));
    }
    const detail::MonoImage image = detail::DrawPdf417(symbol);
    ASSERT_EQ(image.width, width * 2 + 8);
    ASSERT_EQ(image.height, 3 * 6 + 8);
    ASSERT_EQ(image.rows.size(), image.Stride() * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < static_cast<int>(image.Stride()) * 8; ++x) {
        const std::uint8_t byte = image.rows[static_cast<std::size_t>(y) * image.Stride() +
                                             static_cast<std::size_t>(x / 8)];
        const bool black = ((byte >> (7 - x % 8)) & 1) == 0;
        const bool inside = x >= 4 && x < 4 + width * 2 && y >= 4 && y < 4 + 3 * 6;
        EXPECT_EQ(black, inside && symbol.At((y - 4) / 6, (x - 4) / 2))
            << "width " << width << " at " << x << "," << y;
      }
    }
  }
}

TEST(Pdf417, EveryIsoCharacterSurvivesAndOthersBecomeAQuestionMark) {
  Bytes all;
  for (int value = 1; value < 256; ++value) all.push_back(static_cast<std::uint8_t>(value));
  const std::string text = detail::Latin1ToUtf8(all);
  EXPECT_EQ(DatosPdf417(text), all);
  EXPECT_EQ(DecodedPng(CodigoPdf417Png(text, 8, 8)), all);

  EXPECT_EQ(DatosPdf417("5 €"), (Bytes{'5', ' ', '?'}));
  const std::optional<GrayImage> small = ReadPngWithLibpng(CodigoPdf417Png("7", 1, 0));
  ASSERT_TRUE(small);
  EXPECT_EQ(small->width, ImageWidthFor(1));
  EXPECT_EQ(ReadPdf417(*small), Bytes{'7'});
}

TEST(Pdf417, LayoutsOutOfRangeAndTedsNoSymbolHoldsAreRefused) {
  const std::string ted = "<TED/>";
  const std::string longest(detail::kPdf417MaxBytes, 'A');
  std::string binary;
  for (std::size_t i = 0; i < detail::kPdf417MaxBytes; ++i) binary += "\xC2\xAB";
  for (const auto& [text, columns, level] : std::vector<std::tuple<std::string, int, int>>{
           {ted, 0, 2},
           {ted, 31, 2},
           {ted, 5, -1},
           {ted, 5, 9},
           {"", 5, 2},
           {longest + "A", 30, 0},
           {std::string(4 * detail::kPdf417MaxBytes + 1, 'A'), 30, 0},
           {binary, 30, 8}}) {
    try {
      CodigoPdf417Png(text, columns, level);
      ADD_FAILURE() << columns << "/" << level << " with " << text.size() << " bytes";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()), "") << columns << "/" << level;
    }
  }
  EXPECT_THROW(DatosPdf417(""), Error);
  EXPECT_THROW(DatosPdf417(longest + "A"), Error);
  // Two-byte characters that are one ISO byte each: the bound counts the bytes the symbol holds.
  EXPECT_EQ(DatosPdf417(binary).size(), detail::kPdf417MaxBytes);
}

}  // namespace
}  // namespace QuarloCliente
