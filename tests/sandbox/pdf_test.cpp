#include "render/pdf.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "core/charset.hpp"
#include "image_checks.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {
namespace {

using checks::ReadFile;
using checks::TempDir;

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

Bytes TedBytes() {
  return QuarloCliente::detail::Utf8ToLatin1(StampTed(checks::SampleFields(), checks::TestCaf()));
}

PdfDocument Factura(int lines) {
  PdfDocument document;
  document.titulo = "FACTURA ELECTRÓNICA";
  document.folio = "1234";
  document.rutEmisor = "76192083-9";
  document.razonSocialEmisor = "Comercial Ñuñoa & Cía. Ltda.";
  document.giroEmisor = "Artículos de ferretería “Don Ñico” — desde 5 €";
  document.direccionEmisor = "Av. Irarrázaval 1234, Ñuñoa";
  document.fechaEmision = "2024-03-15";
  document.rutReceptor = "11111111-1";
  document.razonSocialReceptor = "Distribuidora Ñandú S.A.";
  document.direccionReceptor = "Los Leones 55, Providencia";
  for (int i = 1; i <= lines; ++i) {
    const std::string number = (i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i);
    document.lineas.push_back({"Producto " + number, "2", "50.000", "100.000"});
  }
  document.montoNeto = "100.000";
  document.iva = "19.000";
  document.montoTotal = "119.000";
  document.ambiente = "T";
  return document;
}

struct Rendered {
  int pages = 0;
  std::string text;
};

// What poppler makes of the PDF: the pages pdftoppm renders at 50 dpi and the UTF-8 text
// pdftotext extracts.
Rendered Poppler(const Bytes& pdf, const TempDir& dir) {
  const auto file = dir.path() / "documento.pdf";
  checks::WriteFile(file, pdf);
  const std::string quoted = "'" + file.string() + "'";
  EXPECT_EQ(
      std::system(("pdftoppm -png -r 50 " + quoted + " '" + (dir.path() / "pagina").string() + "'")
                      .c_str()),
      0);
  Rendered rendered;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().extension() == ".png") ++rendered.pages;
  }
  const auto text = dir.path() / "texto.txt";
  EXPECT_EQ(std::system(("pdftotext -enc UTF-8 " + quoted + " '" + text.string() + "'").c_str()),
            0);
  rendered.text = ReadFile(text);
  return rendered;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) {
    ++count;
  }
  return count;
}

#define REQUIRE_POPPLER()                                                               \
  if (!checks::HaveTool("pdftoppm") || !checks::HaveTool("pdftotext")) {                \
    GTEST_SKIP() << "pdftoppm or pdftotext (poppler-utils) is not installed; skipping"; \
  }

TEST(Pdf, OnePageDocumentShowsItsTextInSpanishAndAReadableStamp) {
  PdfDocument document = Factura(3);
  const Bytes ted = TedBytes();
  document.timbre = QuarloCliente::detail::Pdf417Symbol(ted, 10, 5);
  const Bytes pdf = RenderPdf(document);
  ASSERT_EQ(Text(pdf).rfind("%PDF-", 0), 0U);
  EXPECT_NE(Text(pdf).find("%%EOF"), std::string::npos);
  REQUIRE_POPPLER();

  const TempDir dir;
  const Rendered rendered = Poppler(pdf, dir);
  EXPECT_EQ(rendered.pages, 1);
  for (const char* shown :
       {"R.U.T.: 76192083-9", "FACTURA ELECTRÓNICA", "N° 1234", "Comercial Ñuñoa & Cía. Ltda.",
        "Av. Irarrázaval 1234, Ñuñoa", "“Don Ñico” — desde 5 €", "Distribuidora Ñandú S.A.",
        "Producto 003", "$ 119.000", "Timbre Electrónico SII", "CERTIFICACIÓN", "Página 1 de 1"}) {
    EXPECT_NE(rendered.text.find(shown), std::string::npos) << shown << "\n" << rendered.text;
  }

  const std::string page = (dir.path() / "alta").string();
  ASSERT_EQ(std::system(("pdftoppm -gray -r 300 '" + (dir.path() / "documento.pdf").string() +
                         "' '" + page + "'")
                            .c_str()),
            0);
  const std::optional<checks::GrayImage> image = checks::ReadPgm(page + "-1.pgm");
  ASSERT_TRUE(image);
  EXPECT_EQ(checks::ReadPdf417(*image), ted);
}

TEST(Pdf, LongDocumentsContinueOnMorePagesWithoutLosingALine) {
  REQUIRE_POPPLER();
  PdfDocument document = Factura(120);
  document.timbre = QuarloCliente::detail::Pdf417Symbol(TedBytes(), 5, 2);
  document.ambiente = "P";
  const TempDir dir;
  const Rendered rendered = Poppler(RenderPdf(document), dir);
  ASSERT_GT(rendered.pages, 1);
  for (int i = 1; i <= 120; ++i) {
    const std::string number = (i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i);
    EXPECT_EQ(Count(rendered.text, "Producto " + number), 1U) << number;
  }
  const std::string last = std::to_string(rendered.pages);
  EXPECT_NE(rendered.text.find("Página " + last + " de " + last), std::string::npos);
  EXPECT_NE(rendered.text.find("(continuación)"), std::string::npos);
  EXPECT_EQ(Count(rendered.text, "Timbre Electrónico SII"), 1U);
  EXPECT_EQ(rendered.text.find("CERTIFICACIÓN"), std::string::npos);
}

TEST(Pdf, SparseOrOversizedContentStillRenders) {
  PdfDocument empty;
  empty.titulo = "BOLETA ELECTRÓNICA";
  const Bytes bare = RenderPdf(empty);
  EXPECT_EQ(Text(bare).rfind("%PDF-", 0), 0U);

  PdfDocument wide = Factura(1);
  wide.lineas[0].item = std::string(5000, 'W') + "€“fin”";
  wide.titulo = "LIQUIDACIÓN FACTURA ELECTRÓNICA DE EXPORTACIÓN CON UN NOMBRE MUY LARGO";
  const Bytes pdf = RenderPdf(wide);
  REQUIRE_POPPLER();
  const TempDir dir;
  const Rendered rendered = Poppler(pdf, dir);
  EXPECT_EQ(rendered.pages, 1);
  EXPECT_NE(rendered.text.find("WWW…"), std::string::npos);
  EXPECT_EQ(rendered.text.find("fin"), std::string::npos);
}

TEST(Pdf, StampingAndRenderingOnManyThreadsGiveWhatOneThreadGives) {
  constexpr int kThreads = 4;
  const auto work = [](int n) {
    TedFields fields = checks::SampleFields();
    fields.f = std::to_string(100 + n);
    PdfDocument document = Factura(10 + n);
    document.timbre = QuarloCliente::detail::Pdf417Symbol(
        QuarloCliente::detail::Utf8ToLatin1(StampTed(fields, checks::TestCaf())), 8 + n, 4);
    return RenderPdf(document);
  };
  std::vector<Bytes> alone;
  for (int n = 0; n < kThreads; ++n) alone.push_back(work(n));
  std::vector<Bytes> together(kThreads);
  std::vector<std::thread> threads;
  for (int n = 0; n < kThreads; ++n) {
    threads.emplace_back([&, n] {
      for (int round = 0; round < 3; ++round) together[static_cast<std::size_t>(n)] = work(n);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t n = 0; n < kThreads; ++n) EXPECT_EQ(together[n], alone[n]) << n;
}

}  // namespace
}  // namespace QuarloSandbox
