#pragma once

// The console's pages, one function each. Each reads the store in one transaction and refuses
// what it cannot show with a SandboxError (400 a bad filter or segment, 404 a missing document).

#include <string>
#include <vector>

#include "console/answer.hpp"
#include "console/browser_input.hpp"
#include "console/page_frame.hpp"
#include "console/request_ring.hpp"
#include "store/store.hpp"

namespace QuarloSandbox {

// The documents (DTEs and boletas) newest first, 50 a page, filtered by the query's ambiente,
// tipo, desde, hasta and texto (the search language of PaginatedSearch); `pagina` counts from 1,
// and a page past the end is empty. A filter the search refuses is shown with the reason (400).
ConsoleAnswer DocumentsPage(Store& store, const PageFrame& frame, const FormFields& query);

// One stored document named by the segments ambiente/rut/tipo/folio: its fields, its XML, its
// stamp with the barcode, its tracking, commercial answers and cessions.
ConsoleAnswer DocumentPage(Store& store, const PageFrame& frame,
                           const std::vector<std::string>& key);

// The PNG of the document's stamp, drawn as a submission's answer draws it.
ConsoleAnswer DocumentBarcode(Store& store, const std::vector<std::string>& key);

// The document's PDF, as RecoverPDF_V2 hands it out.
ConsoleAnswer DocumentPdf(Store& store, const std::vector<std::string>& key);

// The CAFs of the query's ambiente by issuer and type, each with its used and free folios.
ConsoleAnswer CafsPage(Store& store, const PageFrame& frame, const FormFields& query);

// The books and folio reports of the query's ambiente, for the query's periodo (AAAA-MM) or all.
ConsoleAnswer ReportsPage(Store& store, const PageFrame& frame, const FormFields& query);

// The last requests the sandbox answered: the page, and the rows alone for its periodic refresh.
ConsoleAnswer RequestsPage(const RequestRing& requests, const PageFrame& frame);
ConsoleAnswer RequestRows(const RequestRing& requests);

// The environment the query names ("T" when it names none); 400 for any other than T or P.
std::string QueryEnvironment(const FormFields& query);

}  // namespace QuarloSandbox
