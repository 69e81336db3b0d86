#include "render/pdf_canvas.hpp"

#include <string>

#include "render/win1252.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox::detail {
namespace {

constexpr char kEllipsis = '\x85';  // "…" in Windows-1252
constexpr std::size_t kLongestLine = 600;

}  // namespace

// libhpdf is C: an exception must not unwind through it, so the handler only records the first
// failure and Check() throws once control is back in C++.
void PdfCanvas::OnError(HPDF_STATUS error, HPDF_STATUS detail, void* status) {
  auto* recorded = static_cast<Status*>(status);
  if (recorded->error != HPDF_OK) return;
  recorded->error = error;
  recorded->detail = detail;
}

void PdfCanvas::Check() const {
  if (status_.error == HPDF_OK) return;
  throw SandboxError(500, "no se pudo generar el PDF (libhpdf error " +
                              std::to_string(status_.error) + ", detalle " +
                              std::to_string(status_.detail) + ")");
}

PdfCanvas::PdfCanvas() : doc_(HPDF_New(&PdfCanvas::OnError, &status_)) {
  if (doc_ == nullptr) throw SandboxError(500, "no se pudo crear el PDF");
  HPDF_SetCompressionMode(doc_, HPDF_COMP_ALL);
  HPDF_SetInfoAttr(doc_, HPDF_INFO_CREATOR, "quarlo-sandbox");
  regular_ = HPDF_GetFont(doc_, "Helvetica", "WinAnsiEncoding");
  bold_ = HPDF_GetFont(doc_, "Helvetica-Bold", "WinAnsiEncoding");
  try {
    Check();
  } catch (...) {
    HPDF_Free(doc_);
    throw;
  }
}

PdfCanvas::~PdfCanvas() {
  HPDF_Free(doc_);
}

HPDF_Page PdfCanvas::Page() const {
  if (pages_.empty()) throw SandboxError(500, "el PDF no tiene páginas");
  return pages_[current_];
}

void PdfCanvas::AddPage() {
  HPDF_Page page = HPDF_AddPage(doc_);
  Check();
  HPDF_Page_SetWidth(page, kPageWidth);
  HPDF_Page_SetHeight(page, kPageHeight);
  Check();
  pages_.push_back(page);
  current_ = pages_.size() - 1;
}

void PdfCanvas::SelectPage(std::size_t index) {
  if (index >= pages_.size()) throw SandboxError(500, "el PDF no tiene esa página");
  current_ = index;
}

float PdfCanvas::Width(Font font, float size, std::string_view text) const {
  const std::string ansi = Utf8ToWindows1252(text);
  const HPDF_TextWidth measured =
      HPDF_Font_TextWidth(FontOf(font), reinterpret_cast<const HPDF_BYTE*>(ansi.c_str()),
                          static_cast<HPDF_UINT>(ansi.size()));
  Check();
  return static_cast<float>(measured.width) * size / 1000.0F;
}

void PdfCanvas::ShowText(float x, float y, Font font, float size, const std::string& ansi,
                         Rgb colour) {
  HPDF_Page page = Page();
  HPDF_Page_SetRGBFill(page, colour.r, colour.g, colour.b);
  HPDF_Page_BeginText(page);
  HPDF_Page_SetFontAndSize(page, FontOf(font), size);
  HPDF_Page_TextOut(page, x, y, ansi.c_str());
  HPDF_Page_EndText(page);
  Check();
}

void PdfCanvas::Text(float x, float y, Font font, float size, std::string_view text, float maxWidth,
                     Rgb colour) {
  // No line of a page holds more than a few hundred characters; cutting first keeps the
  // shortening below cheap whatever the caller sent.
  std::string ansi = Utf8ToWindows1252(text.substr(0, kLongestLine));
  const auto width = [&](const std::string& candidate) {
    const HPDF_TextWidth measured =
        HPDF_Font_TextWidth(FontOf(font), reinterpret_cast<const HPDF_BYTE*>(candidate.c_str()),
                            static_cast<HPDF_UINT>(candidate.size()));
    return static_cast<float>(measured.width) * size / 1000.0F;
  };
  if (width(ansi) > maxWidth) {
    ansi += kEllipsis;
    while (ansi.size() > 1 && width(ansi) > maxWidth) ansi.erase(ansi.size() - 2, 1);
  }
  ShowText(x, y, font, size, ansi, colour);
}

void PdfCanvas::TextRight(float right, float y, Font font, float size, std::string_view text,
                          Rgb colour) {
  ShowText(right - Width(font, size, text), y, font, size, Utf8ToWindows1252(text), colour);
}

void PdfCanvas::TextCentred(float centre, float y, Font font, float size, std::string_view text,
                            Rgb colour) {
  ShowText(centre - Width(font, size, text) / 2, y, font, size, Utf8ToWindows1252(text), colour);
}

void PdfCanvas::Line(float x1, float y1, float x2, float y2, float width, Rgb colour) {
  HPDF_Page page = Page();
  HPDF_Page_SetLineWidth(page, width);
  HPDF_Page_SetRGBStroke(page, colour.r, colour.g, colour.b);
  HPDF_Page_MoveTo(page, x1, y1);
  HPDF_Page_LineTo(page, x2, y2);
  HPDF_Page_Stroke(page);
  Check();
}

void PdfCanvas::Box(float x, float y, float width, float height, float lineWidth, Rgb colour) {
  HPDF_Page page = Page();
  HPDF_Page_SetLineWidth(page, lineWidth);
  HPDF_Page_SetRGBStroke(page, colour.r, colour.g, colour.b);
  HPDF_Page_Rectangle(page, x, y, width, height);
  HPDF_Page_Stroke(page);
  Check();
}

void PdfCanvas::LoadImage(const QuarloCliente::detail::MonoImage& image) {
  // The image's row packing is also the 1-bit DeviceGray layout PDF image streams use.
  image_ = HPDF_LoadRawImageFromMem(doc_, image.rows.data(), static_cast<HPDF_UINT>(image.width),
                                    static_cast<HPDF_UINT>(image.height), HPDF_CS_DEVICE_GRAY, 1);
  Check();
  if (image_ == nullptr) throw SandboxError(500, "no se pudo incluir la imagen en el PDF");
}

void PdfCanvas::DrawImage(float x, float y, float width, float height) {
  if (image_ == nullptr) throw SandboxError(500, "no hay imagen que dibujar en el PDF");
  HPDF_Page_DrawImage(Page(), image_, x, y, width, height);
  Check();
}

std::vector<std::uint8_t> PdfCanvas::Save() {
  HPDF_SaveToStream(doc_);
  Check();
  std::vector<std::uint8_t> pdf(HPDF_GetStreamSize(doc_));
  HPDF_UINT32 size = static_cast<HPDF_UINT32>(pdf.size());
  HPDF_ResetStream(doc_);
  // libhpdf reports reaching the end of its stream as an error; it is not one here.
  const HPDF_STATUS read = HPDF_ReadFromStream(doc_, pdf.data(), &size);
  if (read != HPDF_OK && read != HPDF_STREAM_EOF) {
    throw SandboxError(
        500, "no se pudo leer el PDF generado (libhpdf error " + std::to_string(read) + ")");
  }
  pdf.resize(size);
  if (pdf.size() < 5) throw SandboxError(500, "el PDF generado está vacío");
  return pdf;
}

}  // namespace QuarloSandbox::detail
