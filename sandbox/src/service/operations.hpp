#pragma once

#include <memory>
#include <string>
#include <vector>

#include "protocol/answer.hpp"
#include "service/context.hpp"

namespace QuarloSandbox {

struct SubmittedDocument;

// One request as the server hands it to an operation: the path segments of a GET (decoded,
// already counted by the router) or the body of a POST, and the address the client reached.
struct Call {
  std::vector<std::string> segments;
  std::string body;
  std::string baseUrl;  // "http://127.0.0.1:8080", for links in answers
  // A document submission's body as the server already read it, null when it did not.
  std::shared_ptr<SubmittedDocument> submitted = nullptr;
};

// The operations of the protocol, one per path. Each answers or throws SandboxError.
// Emission (service/emission.cpp).
Answer SendDteDocument(ServiceContext& context, const Call& call);
Answer SendBoletaDocument(ServiceContext& context, const Call& call);
// Books and folio reports (service/books.cpp, service/folio_report.cpp, service/caf_upload.cpp).
Answer SendConsumoFolio(ServiceContext& context, const Call& call);
Answer SendLibroCompraVenta(ServiceContext& context, const Call& call);
Answer SendLibroGuia(ServiceContext& context, const Call& call);
Answer SendLibroBoleta(ServiceContext& context, const Call& call);
Answer GenerateFolioConsume(ServiceContext& context, const Call& call);
Answer UploadCaf(ServiceContext& context, const Call& call);
// Status and retrieval (service/status.cpp, service/retrieval.cpp).
Answer FiscalStatus(ServiceContext& context, const Call& call);
Answer TrackingByGroup(ServiceContext& context, const Call& call);
Answer ConfirmDocument(ServiceContext& context, const Call& call);
Answer RecoverXml(ServiceContext& context, const Call& call);
Answer RecoverAckList(ServiceContext& context, const Call& call);
Answer RecoverPdf(ServiceContext& context, const Call& call);
Answer Print(ServiceContext& context, const Call& call);
// Lifecycle (service/lifecycle.cpp).
Answer VoidDocument(ServiceContext& context, const Call& call);
Answer UnVoidDocument(ServiceContext& context, const Call& call);
Answer DeleteDocument(ServiceContext& context, const Call& call);
// Commercial responses, cessions and factoring (service/commercial.cpp, service/cession.cpp,
// service/factoring.cpp).
Answer SendComercialResponse(ServiceContext& context, const Call& call);
Answer ComercialStatusOfDocument(ServiceContext& context, const Call& call);
Answer GenerateAec(ServiceContext& context, const Call& call);
Answer GetFactorings(ServiceContext& context, const Call& call);
Answer UpsertFactoring(ServiceContext& context, const Call& call);
Answer DeleteFactoring(ServiceContext& context, const Call& call);
// Search and reconciliation (service/search.cpp, service/reconciliation.cpp).
Answer PaginatedSearch(ServiceContext& context, const Call& call);
Answer Reconciliate(ServiceContext& context, const Call& call);
Answer ReconciliateCessions(ServiceContext& context, const Call& call);

}  // namespace QuarloSandbox
