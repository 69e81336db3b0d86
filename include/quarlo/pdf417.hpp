#pragma once

#include <quarlo/export.hpp>
#include <quarlo/types.hpp>
#include <string>

namespace QuarloCliente {

/// The bytes a printer that draws PDF417 itself must be sent for the TED (UTF-8 text): its
/// ISO-8859-1 bytes, exactly what CodigoPdf417Png's symbol holds ('?' for a character beyond
/// ISO-8859-1). Throws Error for an empty TED or one longer than any PDF417 symbol holds.
QUARLO_API Bytes DatosPdf417(const std::string& ted);

/// A PNG image (1-bit grey) of the TED's PDF417 barcode, with the given data columns (1..30)
/// and error-correction level (0..8); the defaults are those the submissions send. A module is
/// 2 pixels wide and a row 6 pixels high, inside a 4-pixel white margin. A TED that needs more
/// than PDF417's 90 rows at that many columns gets a wider symbol. Throws Error for columns or
/// level out of range, or a TED that no PDF417 symbol holds.
QUARLO_API Bytes CodigoPdf417Png(const std::string& ted, int columnas = 5, int nivelCorreccion = 2);

}  // namespace QuarloCliente
