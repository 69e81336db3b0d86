#include <map>
#include <optional>
#include <quarlo/binding.hpp>
#include <set>

#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/book_period.hpp"
#include "service/operations.hpp"
#include "service/sii_xml.hpp"
#include "service/tracking.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;
using QuarloCliente::BindingDateTime;

namespace {

// The most folios the voided ranges of one report may name.
constexpr std::int64_t kMaxVoidedFolios = 100000;

struct VoidedRange {
  int tipo = 0;
  std::int64_t desde = 0;
  std::int64_t hasta = 0;
};

// "1-39-5-10|1-41-3-3": index, type, first and last folio of each voided range.
std::vector<VoidedRange> ReadVoidedRanges(const std::string& text) {
  std::vector<VoidedRange> ranges;
  std::int64_t total = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = std::min(text.find('|', start), text.size());
    const std::string entry = text.substr(start, end - start);
    std::vector<std::string> parts;
    for (std::size_t from = 0;;) {
      const auto dash = entry.find('-', from);
      parts.push_back(entry.substr(from, dash - from));
      if (dash == std::string::npos) break;
      from = dash + 1;
    }
    if (parts.size() != 4) {
      throw SandboxError(400, "el rango anulado '" + entry +
                                  "' no tiene la forma índice-tipo-folioInicial-folioFinal");
    }
    VoidedRange range;
    range.tipo = static_cast<int>(RequireNumber(parts[1], "tipo del rango anulado", 1, 999));
    if (range.tipo != 39 && range.tipo != 41 && range.tipo != 61) {
      throw SandboxError(400, "un consumo de folios informa los tipos 39, 41 y 61, no " + parts[1]);
    }
    range.desde = RequireNumber(parts[2], "folio inicial del rango anulado", 1, 9999999999);
    range.hasta = RequireNumber(parts[3], "folio final del rango anulado", range.desde, 9999999999);
    total += range.hasta - range.desde + 1;
    if (total > kMaxVoidedFolios) {
      throw SandboxError(
          400, "los rangos anulados suman más de " + std::to_string(kMaxVoidedFolios) + " folios");
    }
    ranges.push_back(range);
    start = end + 1;
  }
  return ranges;
}

// The totals of one document type of the day.
struct TypeSummary {
  std::int64_t neto = 0;
  std::int64_t iva = 0;
  std::int64_t exento = 0;
  std::int64_t total = 0;
  std::set<std::int64_t> used;
  std::vector<VoidedRange> voided;
};

std::int64_t Amount(const xmlNode* form, std::string_view path) {
  const std::string text = TextAt(form, path);
  return text.empty() ? 0 : std::stoll(text);
}

void AddBoleta(TypeSummary& summary, const DocumentRow& boleta) {
  const auto doc = qd::ParseHeldXml(boleta.xml);
  const xmlNode* form = ChildElement(xmlDocGetRootElement(doc.get()), "Documento");
  summary.neto += Amount(form, "Encabezado/Totales/MntNeto");
  summary.iva += Amount(form, "Encabezado/Totales/IVA");
  summary.exento += Amount(form, "Encabezado/Totales/MntExe");
  summary.total += Amount(form, "Encabezado/Totales/MntTotal");
  summary.used.insert(boleta.key.folio);
}

// Consecutive folios as first..last runs.
std::vector<std::pair<std::int64_t, std::int64_t>> Runs(const std::set<std::int64_t>& folios) {
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;
  for (const auto folio : folios) {
    if (!runs.empty() && runs.back().second + 1 == folio) {
      runs.back().second = folio;
    } else {
      runs.emplace_back(folio, folio);
    }
  }
  return runs;
}

void WriteSummary(QuarloCliente::ConsumoFoliosBinding& report, int tipo, const TypeSummary& s) {
  auto resumen = report.DocumentoConsumoFolios()->AgregarResumen();
  resumen->SetTipoDocumento(tipo);
  std::int64_t voided = 0;
  for (const auto& range : s.voided) voided += range.hasta - range.desde + 1;
  const auto usedCount = static_cast<std::int64_t>(s.used.size());
  if (s.neto > 0) resumen->Set("MntNeto", s.neto);
  if (s.iva > 0) resumen->Set("MntIva", s.iva).Set("TasaIVA", "19");
  if (s.exento > 0) resumen->Set("MntExento", s.exento);
  resumen->SetMntTotal(s.total);
  resumen->Set("FoliosEmitidos", usedCount + voided).Set("FoliosAnulados", voided);
  resumen->Set("FoliosUtilizados", usedCount);
  for (const auto& [first, last] : Runs(s.used)) resumen->AgregarRangoUtilizados(first, last);
  for (const auto& range : s.voided) resumen->AgregarRangoAnulados(range.desde, range.hasta);
}

struct ReportRequest {
  std::string environment;
  std::string rut;
  std::string date;
  std::vector<VoidedRange> voided;
  bool autoConfirm = false;
};

std::string BuildReport(StoreTx& tx, const ReportRequest& r, std::int64_t secEnvio,
                        const std::string& now) {
  std::map<int, TypeSummary> summaries;
  const auto boletas = tx.BoletasOfDay(r.environment, r.rut, r.date);
  for (const auto& boleta : boletas) AddBoleta(summaries[std::stoi(boleta.key.tipo)], boleta);
  for (const auto& range : r.voided) summaries[range.tipo].voided.push_back(range);
  QuarloCliente::ConsumoFoliosBinding report;
  const std::string digits = r.rut.substr(0, r.rut.find('-'));
  report.DocumentoConsumoFolios()->SetID("CF" + digits + "D" + std::to_string(DayCode(r.date)));
  auto cover = report.DocumentoConsumoFolios()->Caratula();
  const auto day = BindingDateTime::Parse(r.date);
  cover->SetRutEmisor(r.rut).SetRutEnvia(r.rut);
  // The resolution of the day's boletas, when they name one the schema accepts.
  const auto resolution =
      boletas.empty() ? std::nullopt
                      : BindingDateTime::TryParse(boletas.front().resolutionDate,
                                                  QuarloCliente::BindingDateTimeKind::XsDate);
  cover->SetFchResol(resolution.value_or(day));
  cover->SetNroResol(boletas.empty() ? 0 : std::stoll(boletas.front().resolutionNumber));
  cover->SetFchInicio(day).SetFchFinal(day).SetSecEnvio(secEnvio);
  cover->SetTmstFirmaEnv(BindingDateTime::Parse(now));
  for (const auto& [tipo, summary] : summaries) WriteSummary(report, tipo, summary);
  return report.ToXml(StrictBindingContext(), false, 2);
}

void MarkVoidedUsed(StoreTx& tx, const ReportRequest& r) {
  for (const auto& range : r.voided) {
    for (auto folio = range.desde; folio <= range.hasta; ++folio) {
      tx.MarkFolioUsed(r.environment, r.rut, range.tipo, folio);
    }
  }
}

}  // namespace

Answer GenerateFolioConsume(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "GenerateFolioConsumeRequest");
  ReportRequest r;
  r.environment = RequireEnvironment(request.Field("Environment"));
  r.rut = RequireRut(request.Field("Sender"), "Sender");
  r.date = RequireDate(request.Field("Date"), "Date");
  r.voided =
      ReadVoidedRanges(DecodeIsoBase64Field(request.Field("AnnuledRanges"), "AnnuledRanges"));
  r.autoConfirm = request.Flag("AutoConfirm");
  return context.store.Write([&](StoreTx& tx) {
    const std::string now = NowText();
    DocumentRow row;
    row.key = DocumentKey{r.environment, r.rut, "100", DayCode(r.date)};
    std::int64_t secEnvio = 1;
    if (auto old = tx.FindDocument(row.key)) {
      const auto doc = qd::ParseHeldXml(old->xml);
      secEnvio = std::stoll(TextAt(xmlDocGetRootElement(doc.get()),
                                   "DocumentoConsumoFolios/Caratula/SecEnvio")) +
                 1;
      tx.DeleteDocument(old->id);
    }
    MarkVoidedUsed(tx, r);
    row.kind = DocumentKind::ConsumoFolios;
    row.xml = BuildReport(tx, r, secEnvio, now);
    row.issueDate = r.date;
    row.confirmed = r.autoConfirm;
    row.trackId = tx.NewTrackId(r.environment, row.kind, now);
    row.receivedAt = now;
    const std::int64_t id = tx.InsertDocument(row);
    tx.AddTrackState(id, FirstTrackState(row.trackId, row.confirmed, now));
    Answer answer;
    answer.Add("TrackId", std::to_string(row.trackId)).Add("Folio", std::to_string(row.key.folio));
    return answer;
  });
}

}  // namespace QuarloSandbox
