#pragma once

#include <string>

#include "render/pdf.hpp"
#include "store/records.hpp"

namespace QuarloSandbox {

// The stored document as RecoverXML_V2 hands it out, ISO-8859-1 declared: a DTE inside an
// EnvioDTE, a boleta inside an EnvioBOLETA (unsigned envelopes addressed to the SII, or to the
// receiver when the copy is for distribution), a book or folio report as it is.
std::string RetrievalXml(const DocumentRow& document, bool forDistribution);

// What the printed form of a stored DTE or boleta shows, its TED's barcode included.
PdfDocument PrintableDocument(const DocumentRow& document);

// The printed name of a document type ("FACTURA ELECTRÓNICA" for 33).
std::string DocumentTitle(const std::string& tipo);

// The SII's RUT, to which the service addresses the envelopes it forwards.
inline constexpr const char* kSiiRut = "60803000-K";

}  // namespace QuarloSandbox
