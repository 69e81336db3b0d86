#include "render/pdf.hpp"

#include <algorithm>

#include "render/pdf_canvas.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {
namespace {

using detail::Font;
using detail::PdfCanvas;
using detail::Rgb;

constexpr float kMargin = 40;
constexpr float kLeft = kMargin;
constexpr float kRight = PdfCanvas::kPageWidth - kMargin;
constexpr float kTop = PdfCanvas::kPageHeight - kMargin;
// The lowest baseline a detail line may take, and the lowest point of anything else, both
// above the page number.
constexpr float kBottom = 56;
constexpr float kFloor = 40;
constexpr float kLineHeight = 14;
constexpr Rgb kSiiRed{0.8F, 0.0F, 0.0F};
constexpr Rgb kGrey{0.45F, 0.45F, 0.45F};

// Right edges of the numeric columns, and the room the item name has before them.
constexpr float kCantidadRight = 385;
constexpr float kPrecioRight = 465;
constexpr float kMontoRight = kRight - 4;
constexpr float kItemWidth = 250;

// The stamp is printed with a module of about 0.25 mm (2 pixels per module), within the box
// the SII allows for the timbre.
constexpr float kPointsPerPixel = 0.36F;
constexpr float kStampMaxWidth = 255;
constexpr float kStampMaxHeight = 170;
constexpr float kLegendHeight = 26;

struct Size {
  float width = 0;
  float height = 0;
};

class Renderer {
 public:
  explicit Renderer(const PdfDocument& document) : doc_(document) {}

  Bytes Render() {
    FirstPage();
    TableHeader();
    for (const PdfLine& line : doc_.lineas) DetailLine(line);
    Closing();
    PageNumbers();
    return canvas_.Save();
  }

 private:
  void NewPage() {
    canvas_.AddPage();
    if (doc_.ambiente == "T") {
      canvas_.TextCentred(PdfCanvas::kPageWidth / 2, PdfCanvas::kPageHeight - 26, Font::Bold, 9,
                          "AMBIENTE DE CERTIFICACIÓN — DOCUMENTO SIN VALIDEZ TRIBUTARIA", kGrey);
    }
  }

  void FirstPage() {
    NewPage();
    IssuerBox();
    canvas_.Text(kLeft, kTop - 14, Font::Bold, 12, doc_.razonSocialEmisor, 280);
    canvas_.Text(kLeft, kTop - 30, Font::Regular, 9, doc_.giroEmisor, 280);
    canvas_.Text(kLeft, kTop - 44, Font::Regular, 9, doc_.direccionEmisor, 280);
    y_ = kTop - 112;
    canvas_.Text(kLeft, y_, Font::Regular, 10, "Fecha de emisión: " + doc_.fechaEmision);
    Receiver();
  }

  // The red box with the issuer's RUT, the document's name and its folio, as the SII asks.
  void IssuerBox() {
    constexpr float kWidth = 220;
    constexpr float kHeight = 82;
    const float x = kRight - kWidth;
    canvas_.Box(x, kTop - kHeight, kWidth, kHeight, 1.5F, kSiiRed);
    const float centre = x + kWidth / 2;
    canvas_.TextCentred(centre, kTop - 22, Font::Bold, 12, "R.U.T.: " + doc_.rutEmisor, kSiiRed);
    float size = 12;
    while (size > 6 && canvas_.Width(Font::Bold, size, doc_.titulo) > kWidth - 12) size -= 0.5F;
    canvas_.Text(centre - canvas_.Width(Font::Bold, size, doc_.titulo) / 2, kTop - 46, Font::Bold,
                 size, doc_.titulo, kWidth - 12, kSiiRed);
    canvas_.TextCentred(centre, kTop - 70, Font::Bold, 12, "N° " + doc_.folio, kSiiRed);
  }

  void Receiver() {
    constexpr float kHeight = 52;
    const float top = y_ - 8;
    canvas_.Box(kLeft, top - kHeight, kRight - kLeft, kHeight, 0.5F);
    canvas_.Text(kLeft + 6, top - 14, Font::Regular, 9, "Señor(es): " + doc_.razonSocialReceptor,
                 kRight - kLeft - 12);
    canvas_.Text(kLeft + 6, top - 29, Font::Regular, 9, "R.U.T.: " + doc_.rutReceptor);
    canvas_.Text(kLeft + 6, top - 44, Font::Regular, 9, "Dirección: " + doc_.direccionReceptor,
                 kRight - kLeft - 12);
    y_ = top - kHeight - 22;
  }

  void ContinuationPage() {
    NewPage();
    canvas_.Text(kLeft, kTop - 14, Font::Bold, 11,
                 doc_.titulo + " N° " + doc_.folio + " (continuación)");
    canvas_.Text(kLeft, kTop - 28, Font::Regular, 9,
                 doc_.razonSocialEmisor + " — R.U.T.: " + doc_.rutEmisor);
    y_ = kTop - 56;
  }

  void TableHeader() {
    canvas_.Line(kLeft, y_ + 11, kRight, y_ + 11);
    canvas_.Text(kLeft + 4, y_, Font::Bold, 9, "Ítem");
    canvas_.TextRight(kCantidadRight, y_, Font::Bold, 9, "Cantidad");
    canvas_.TextRight(kPrecioRight, y_, Font::Bold, 9, "Precio");
    canvas_.TextRight(kMontoRight, y_, Font::Bold, 9, "Monto");
    canvas_.Line(kLeft, y_ - 4, kRight, y_ - 4);
    y_ -= kLineHeight + 4;
  }

  void DetailLine(const PdfLine& line) {
    if (y_ < kBottom) {
      ContinuationPage();
      TableHeader();
    }
    canvas_.Text(kLeft + 4, y_, Font::Regular, 9, line.item, kItemWidth);
    canvas_.TextRight(kCantidadRight, y_, Font::Regular, 9, line.cantidad);
    canvas_.TextRight(kPrecioRight, y_, Font::Regular, 9, line.precio);
    canvas_.TextRight(kMontoRight, y_, Font::Regular, 9, line.monto);
    y_ -= kLineHeight;
  }

  // The totals and, under them, the stamp: they stay together, on a page of their own when
  // the last lines leave too little room.
  void Closing() {
    canvas_.Line(kLeft, y_ + 10, kRight, y_ + 10);
    const Size stamp = LoadStamp();
    const float totals = 3 * kLineHeight + 14;
    const float needed = totals + (stamp.height > 0 ? stamp.height + kLegendHeight : 0);
    if (y_ - needed < kFloor) ContinuationPage();
    Totals();
    if (stamp.height > 0) Stamp(stamp);
  }

  void Totals() {
    y_ -= 6;
    const auto row = [this](const char* label, const std::string& value, Font font) {
      if (value.empty()) return;
      canvas_.TextRight(kPrecioRight, y_, font, 10, label);
      canvas_.TextRight(kMontoRight, y_, font, 10, "$ " + value);
      y_ -= kLineHeight;
    };
    row("Monto neto", doc_.montoNeto, Font::Regular);
    row("IVA", doc_.iva, Font::Regular);
    row("Total", doc_.montoTotal, Font::Bold);
    y_ -= 8;
  }

  // The stamp's size on the page, {0, 0} when the document has none.
  Size LoadStamp() {
    if (doc_.timbre.rows == 0) return {};
    const QuarloCliente::detail::MonoImage image = QuarloCliente::detail::DrawPdf417(doc_.timbre);
    canvas_.LoadImage(image);
    const auto width = static_cast<float>(image.width);
    const auto height = static_cast<float>(image.height);
    const float scale =
        std::min({kPointsPerPixel, kStampMaxWidth / width, kStampMaxHeight / height});
    return {width * scale, height * scale};
  }

  void Stamp(Size size) {
    const float bottom = y_ - size.height;
    canvas_.DrawImage(kLeft, bottom, size.width, size.height);
    const float centre = kLeft + size.width / 2;
    canvas_.TextCentred(centre, bottom - 11, Font::Bold, 8, "Timbre Electrónico SII");
    canvas_.TextCentred(centre, bottom - 21, Font::Regular, 7, "Verifique documento: www.sii.cl");
    y_ = bottom - kLegendHeight;
  }

  void PageNumbers() {
    const std::size_t count = canvas_.PageCount();
    for (std::size_t page = 0; page < count; ++page) {
      canvas_.SelectPage(page);
      canvas_.TextCentred(PdfCanvas::kPageWidth / 2, 26, Font::Regular, 8,
                          "Página " + std::to_string(page + 1) + " de " + std::to_string(count));
    }
  }

  const PdfDocument& doc_;
  PdfCanvas canvas_;
  float y_ = 0;
};

}  // namespace

Bytes RenderPdf(const PdfDocument& document) {
  return Renderer(document).Render();
}

}  // namespace QuarloSandbox
