#pragma once

#include <string>
#include <vector>

#include "render/barcode.hpp"
#include "stamping/pdf417_symbol.hpp"

namespace QuarloSandbox {

// One detail line of a printed document.
struct PdfLine {
  std::string item;
  std::string cantidad;
  std::string precio;
  std::string monto;
};

// What the printed representation of a DTE or boleta shows. Texts are UTF-8.
struct PdfDocument {
  std::string titulo;  // "FACTURA ELECTRÓNICA", "BOLETA ELECTRÓNICA", ...
  std::string folio;
  std::string rutEmisor;
  std::string razonSocialEmisor;
  std::string giroEmisor;
  std::string direccionEmisor;
  std::string fechaEmision;
  std::string rutReceptor;
  std::string razonSocialReceptor;
  std::string direccionReceptor;
  std::vector<PdfLine> lineas;
  std::string montoNeto;
  std::string iva;
  std::string montoTotal;
  // The TED's PDF417 symbol, drawn under the totals with the SII's legend; none without rows.
  QuarloCliente::detail::Pdf417Modules timbre;
  std::string ambiente;  // "T" adds a visible "certificación" watermark line
};

// A one-page (more when the lines need it) A4 PDF of the document: the issuer's box with the
// RUT, type and folio, the receiver, the detail lines, the totals, and the barcode with
// "Timbre Electrónico SII", drawn as the library's PNG form draws it. Throws
// SandboxError(500, ...) when the PDF cannot be made.
Bytes RenderPdf(const PdfDocument& document);

}  // namespace QuarloSandbox
