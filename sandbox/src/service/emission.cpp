#include <limits>
#include <optional>
#include <quarlo/pdf417.hpp>

#include "crypto/signing_caf.hpp"
#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "render/barcode.hpp"
#include "sandbox_error.hpp"
#include "service/folios.hpp"
#include "service/incoming_document.hpp"
#include "service/operations.hpp"
#include "service/search_text.hpp"
#include "service/stamping.hpp"
#include "service/tracking.hpp"
#include "stamping/mono_png.hpp"
#include "stamping/pdf417_symbol.hpp"

namespace QuarloSandbox {

namespace {

namespace qd = QuarloCliente::detail;

// The barcode types of a submission: 2 a PNG image, 1 rows for a PDF417 font.
constexpr std::int64_t kBarcodeFont = 1;
constexpr std::int64_t kBarcodeImage = 2;

struct Submission {
  std::string environment;
  std::string resolutionDate;
  std::string resolutionNumber;
  int columns = 0;
  int level = 0;
  std::int64_t barcodeType = 0;
  std::string callerTed;
};

// The submission's values, checked in the order their refusals are reported; the decoded Content
// goes to `content` when it is wanted, the document not having been read yet.
Submission ReadSubmission(const RequestBody& request, QuarloCliente::Bytes* content) {
  Submission s;
  s.environment = RequireEnvironment(request.Field("Environment"));
  if (content != nullptr) *content = DecodeBase64Field(request.Field("Content"), "Content");
  s.resolutionDate = request.Field("ResolutionDate");
  s.resolutionNumber = std::to_string(request.Number("ResolutionNumber", 0, 999999));
  s.columns = static_cast<int>(request.Number("PDF417Columns", 1, 30));
  s.level = static_cast<int>(request.Number("PDF417Level", 0, 8));
  s.barcodeType = request.Number("PDF417Type", kBarcodeFont, kBarcodeImage);
  if (!request.Field("TED").empty()) {
    s.callerTed = DecodeIsoBase64Field(request.Field("TED"), "TED");
  }
  return s;
}

bool TipoAllowed(DocumentKind kind, int tipo) {
  if (kind == DocumentKind::Boleta) return tipo == 39 || tipo == 41;
  for (const int allowed : {33, 34, 43, 46, 52, 56, 61, 110, 111, 112}) {
    if (tipo == allowed) return true;
  }
  return false;
}

int DocumentTipo(const IncomingDocument& document) {
  const auto tipo = static_cast<int>(RequireNumber(document.Fields().tipo, "TipoDTE", 1, 999));
  if (!TipoAllowed(document.Kind(), tipo)) {
    throw SandboxError(400, "el tipo " + std::to_string(tipo) + " no se emite por " +
                                (document.Kind() == DocumentKind::Boleta ? "SendBoletaDocument"
                                                                         : "SendDTEDocument"));
  }
  return tipo;
}

// The answer's barcode, made in two steps: the symbol while the submission's transaction is
// open, since a TED no symbol holds at the requested size refuses the whole submission; the
// image, the costly part, once the store is free for the other requests.
class Barcode {
 public:
  Barcode(const std::string& ted, const Submission& s) : type_(s.barcodeType) {
    const QuarloCliente::Bytes data = QuarloCliente::DatosPdf417(ted);
    if (type_ == kBarcodeImage) {
      symbol_ = qd::Pdf417Symbol(data, s.columns, s.level);
    } else {
      text_ = IsoBase64(Pdf417FontRows(data, s.columns, s.level));
    }
  }

  std::string Text() const {
    if (type_ != kBarcodeImage) return text_;
    return Base64(qd::WriteMonoPng(qd::DrawPdf417(symbol_)));
  }

 private:
  std::int64_t type_;
  qd::Pdf417Modules symbol_;
  std::string text_;
};

// What a stored submission answers with.
struct Stamped {
  std::string ted;
  std::optional<Barcode> barcode;
  std::int64_t trackId = 0;
  std::string folio;
};

// Numbers and stamps the document: the caller's TED when it sent one that holds, else a new
// TED from the CAF that covers the folio.
std::string StampDocument(StoreTx& tx, IncomingDocument& document, const Submission& s, int tipo,
                          const std::string& now) {
  const auto& fields = document.Fields();
  const auto requested =
      RequireNumber(fields.folio, "Folio", 0, std::numeric_limits<std::int64_t>::max());
  if (!s.callerTed.empty()) {
    const CallerTed ted = CheckCallerTed(s.callerTed, fields);
    const FolioGrant grant = GrantFolio(tx, s.environment, fields.rutEmisor, tipo, ted.folio);
    if (WithoutWhitespace(StoredSigningCaf(grant.caf.xml)->modulusBase64) != ted.cafModulus) {
      throw SandboxError(422,
                         "el TED enviado fue timbrado con un CAF distinto del que el "
                         "sandbox tiene para el folio " +
                             std::to_string(grant.folio));
    }
    document.SetFolio(grant.folio);
    return s.callerTed;
  }
  const FolioGrant grant = GrantFolio(tx, s.environment, fields.rutEmisor, tipo, requested);
  document.SetFolio(grant.folio);
  return StampFor(document.Fields(), *StoredSigningCaf(grant.caf.xml), now);
}

DocumentRow RowFor(const IncomingDocument& document, const Submission& s, const std::string& ted,
                   std::int64_t trackId, const std::string& now) {
  const auto& f = document.Fields();
  DocumentRow row;
  // Read with the request's own number reader: a bad value is a 400 in Spanish, never
  // std::stoi's English exception and a 500.
  const auto tipo = RequireNumber(f.tipo, "TipoDTE", 1, 999);
  const auto folio = RequireNumber(f.folio, "Folio", 0, std::numeric_limits<std::int64_t>::max());
  row.key = DocumentKey{s.environment, f.rutEmisor, std::to_string(tipo), folio};
  row.kind = document.Kind();
  row.xml = document.Xml();
  row.ted = ted;
  row.resolutionDate = s.resolutionDate;
  row.resolutionNumber = s.resolutionNumber;
  row.issuerName = f.issuerName;
  row.receiverRut = f.rutRecep;
  row.receiverName = f.rznSocRecep;
  row.itemName = f.nmbItem;
  row.issueDate = f.fchEmis;
  row.total = f.mntTotal;
  row.searchText = FoldForSearch(f.issuerName + "\n" + f.rznSocRecep + "\n" + f.nmbItem);
  row.trackId = trackId;
  row.receivedAt = now;
  return row;
}

Answer Submit(ServiceContext& context, const Call& call, DocumentKind kind) {
  std::shared_ptr<SubmittedDocument> read = call.submitted;
  Submission s;
  if (read && read->document.Kind() == kind) {
    s = ReadSubmission(read->request, nullptr);
  } else {
    RequestBody request(call.body, "SendDocumentRequest");
    QuarloCliente::Bytes content;
    s = ReadSubmission(request, &content);
    IncomingDocument incoming(content, kind);
    read = std::make_shared<SubmittedDocument>(
        SubmittedDocument{std::move(request), std::move(incoming)});
  }
  IncomingDocument& document = read->document;
  const int tipo = DocumentTipo(document);
  const Stamped stamped = context.store.Write([&](StoreTx& tx) {
    const std::string now = NowText();
    Stamped result;
    result.ted = StampDocument(tx, document, s, tipo, now);
    document.SetTed(result.ted);
    document.Seal(now);
    document.Validate();
    result.barcode.emplace(result.ted, s);
    result.trackId = tx.NewTrackId(s.environment, kind, now);
    const std::int64_t id = tx.InsertDocument(RowFor(document, s, result.ted, result.trackId, now));
    tx.AddTrackState(id, FirstTrackState(result.trackId, true, now));
    result.folio = document.Fields().folio;
    return result;
  });
  Answer answer;
  answer.Add("TED", IsoBase64(stamped.ted)).Add("PDF417", stamped.barcode->Text());
  answer.Add("TrackId", std::to_string(stamped.trackId)).Add("Folio", stamped.folio);
  return answer;
}

}  // namespace

Answer SendDteDocument(ServiceContext& context, const Call& call) {
  return Submit(context, call, DocumentKind::Dte);
}

Answer SendBoletaDocument(ServiceContext& context, const Call& call) {
  return Submit(context, call, DocumentKind::Boleta);
}

}  // namespace QuarloSandbox
