#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "protocol/xml_writer.hpp"
#include "sandbox_error.hpp"
#include "service/envelope.hpp"
#include "service/operations.hpp"
#include "service/sii_xml.hpp"
#include "service/summary.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

namespace {

struct Range {
  std::string environment;
  std::string rut;
  std::string from;
  std::string to;
};

Range ReadRange(const std::vector<std::string>& s) {
  Range range{RequireEnvironment(s[0]), RequireRut(s[1], "RUT del receptor"),
              RequireDate(s[2], "fecha desde"), RequireDate(s[3], "fecha hasta")};
  if (range.from > range.to) {
    throw SandboxError(
        400, "la fecha desde " + range.from + " es posterior a la fecha hasta " + range.to);
  }
  return range;
}

Answer Listing(const std::string& xml, std::size_t count,
               std::chrono::steady_clock::time_point started) {
  Answer answer;
  answer.Add("Data", IsoBase64(xml));
  answer.Add("SearchTime", ElapsedMilliseconds(started));
  answer.Add("TotalDocuments", std::to_string(count));
  return answer;
}

// The receiver's e-mail as the ceded document names it.
std::string DebtorMail(const DocumentRow& document) {
  const auto doc = qd::ParseHeldXml(document.xml);
  for (const char* form : {"Documento", "Liquidacion", "Exportaciones"}) {
    if (const xmlNode* found = ChildElement(xmlDocGetRootElement(doc.get()), form)) {
      return TextAt(found, "Encabezado/Receptor/CorreoRecep");
    }
  }
  return {};
}

std::string CessionsXml(const std::vector<CessionView>& views) {
  XmlWriter xml;
  xml.Open("Cessions");
  for (const auto& [c, d] : views) {
    xml.Open("document");
    xml.Element("VENDEDOR", c.cedenteRut).Element("ESTADO_CESION", "Cesion Vigente");
    xml.Element("DEUDOR", d.receiverRut).Element("MAIL_DEUDOR", DebtorMail(d));
    xml.Element("TIPO_DOC", d.key.tipo).Element("NOMBRE_DOC", DocumentTitle(d.key.tipo));
    xml.Element("FOLIO_DOC", std::to_string(d.key.folio)).Element("MNT_TOTAL", d.total);
    xml.Element("CEDENTE", c.cedenteRut).Element("RZ_CEDENTE", c.cedenteName);
    xml.Element("MAIL_CEDENTE", c.cedenteEmail).Element("CESIONARIO", c.cesionarioRut);
    xml.Element("RZ_CESIONARIO", c.cesionarioName).Element("MAIL_CESIONARIO", c.cesionarioEmail);
    xml.Element("MNT_CESION", c.amount).Element("FCH_EMIS_DTE", d.issueDate);
    xml.Element("FCH_VENCIMIENTO", c.dueDate).Element("FCH_CESION", SpacedTimestamp(c.cededAt));
    xml.Close("document");
  }
  xml.Close("Cessions");
  return xml.Text();
}

}  // namespace

// Segments: environment, receiver RUT, from, to (AAAA-MM-DD or AAAAMMDD). Lists the DTEs and
// boletas issued to the receiver in those days, and marks them reconciled.
Answer Reconciliate(ServiceContext& context, const Call& call) {
  const auto started = std::chrono::steady_clock::now();
  const Range range = ReadRange(call.segments);
  const auto documents = context.store.Write([&](StoreTx& tx) {
    std::vector<DocumentFacts> facts;
    for (auto& row : tx.IssuedTo(range.environment, range.rut, range.from, range.to)) {
      tx.SetReconciled(row.id);
      row.reconciled = true;
      facts.push_back(GatherFacts(tx, std::move(row)));
    }
    return facts;
  });
  return Listing(DocumentsXml(documents, call.baseUrl), documents.size(), started);
}

// Segments: environment, RUT, from, to, the RUT's role (0 debtor, 1 assignor, 2 assignee) and
// the SII password, which the sandbox requires but neither checks nor keeps.
Answer ReconciliateCessions(ServiceContext& context, const Call& call) {
  const auto started = std::chrono::steady_clock::now();
  const Range range = ReadRange(call.segments);
  const std::string& role = call.segments[4];
  if (role != "0" && role != "1" && role != "2") {
    throw SandboxError(400,
                       "el tipo de consulta debe ser 0 (deudor), 1 (cedente) o 2 "
                       "(cesionario), no '" +
                           role + "'");
  }
  if (call.segments[5].empty()) throw SandboxError(400, "falta la clave del SII");
  const char* roles[] = {"deudor", "cedente", "cesionario"};
  const auto views = context.store.Read([&](StoreTx& tx) {
    return tx.CessionsFor(range.environment, range.rut, roles[role[0] - '0'], range.from, range.to);
  });
  return Listing(CessionsXml(views), views.size(), started);
}

}  // namespace QuarloSandbox
