#pragma once

#include <hpdf.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "stamping/mono_png.hpp"

namespace QuarloSandbox::detail {

enum class Font { Regular, Bold };

struct Rgb {
  float r = 0;
  float g = 0;
  float b = 0;
};

// One PDF being drawn with libhpdf: A4 pages, base-14 Helvetica in WinAnsiEncoding, texts given
// as UTF-8. Every libhpdf failure becomes SandboxError(500, ...). Each canvas owns its own
// libhpdf document (libhpdf keeps no state between documents), so threads may draw at once.
// Coordinates are PDF points from the bottom-left corner of the page.
class PdfCanvas {
 public:
  static constexpr float kPageWidth = 595.276F;
  static constexpr float kPageHeight = 841.89F;

  PdfCanvas();
  ~PdfCanvas();
  PdfCanvas(const PdfCanvas&) = delete;
  PdfCanvas& operator=(const PdfCanvas&) = delete;

  // Adds a page at the end and draws on it from now on.
  void AddPage();
  // Draws on an earlier page again (0 is the first).
  void SelectPage(std::size_t index);
  std::size_t PageCount() const { return pages_.size(); }

  // The width the text takes in the font and size.
  float Width(Font font, float size, std::string_view text) const;
  // Text whose baseline starts at (x, y), cut short with an ellipsis when wider than maxWidth.
  void Text(float x, float y, Font font, float size, std::string_view text,
            float maxWidth = kPageWidth, Rgb colour = {});
  void TextRight(float right, float y, Font font, float size, std::string_view text,
                 Rgb colour = {});
  void TextCentred(float centre, float y, Font font, float size, std::string_view text,
                   Rgb colour = {});

  void Line(float x1, float y1, float x2, float y2, float width = 0.5F, Rgb colour = {});
  void Box(float x, float y, float width, float height, float lineWidth, Rgb colour = {});

  // Loads a black-and-white image into the document; the last loaded one is drawn below.
  void LoadImage(const QuarloCliente::detail::MonoImage& image);
  // Draws the last loaded image with its lower-left corner at (x, y).
  void DrawImage(float x, float y, float width, float height);

  // The finished PDF file.
  std::vector<std::uint8_t> Save();

 private:
  struct Status {
    HPDF_STATUS error = HPDF_OK;
    HPDF_STATUS detail = HPDF_OK;
  };
  static void OnError(HPDF_STATUS error, HPDF_STATUS detail, void* status);
  void Check() const;
  HPDF_Font FontOf(Font font) const { return font == Font::Bold ? bold_ : regular_; }
  HPDF_Page Page() const;
  void ShowText(float x, float y, Font font, float size, const std::string& ansi, Rgb colour);

  Status status_;
  HPDF_Doc doc_ = nullptr;
  HPDF_Font regular_ = nullptr;
  HPDF_Font bold_ = nullptr;
  HPDF_Image image_ = nullptr;
  std::vector<HPDF_Page> pages_;
  std::size_t current_ = 0;
};

}  // namespace QuarloSandbox::detail
