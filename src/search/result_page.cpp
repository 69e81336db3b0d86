#include "search/result_page.hpp"

#include <cstdint>
#include <limits>
#include <quarlo/error.hpp>
#include <string>

#include "core/failure.hpp"
#include "core/numbers.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "search/service_values.hpp"

namespace QuarloCliente::detail {

namespace {

std::string DecodePage(const std::string& base64) {
  try {
    return DecodeIsoBase64(base64);
  } catch (const Error& e) {
    throw Error(std::string("el elemento Data no es Base64 válido: ") + e.what());
  }
}

void TakeOver(ResultadosBusqueda& result, ResultadoBusDocumento& raw,
              std::shared_ptr<ColeccionDocumentos> records) {
  result.setDocumentos(std::move(records));
  result.TiempoBusqueda = std::move(raw.TiempoBusqueda);
  result.TotalDocumentos = raw.TotalDocumentos;
  result.xml = std::move(raw.xml);
  result.TotalPages = raw.TotalPages;
  // Copied into the result's own status, which the operation's failure report holds on to.
  *result.ResultadoServicio = *raw.ResultadoServicio;
}

}  // namespace

bool ReadResultPage(const ServiceAnswer& answer, ResultadoBusDocumento& raw) {
  if (!ApplyResult(answer, *raw.ResultadoServicio)) return false;
  raw.TiempoBusqueda = answer.Find("SearchTime").value_or("");
  raw.TotalDocumentos = ReadLong(answer.Text("TotalDocuments"), "TotalDocuments");
  raw.xml = DecodePage(answer.Text("Data"));
  return true;
}

Long PageCount(Long total, Integer pageSize) {
  // The caller's argument, even though the page was asked for and read first.
  if (pageSize == 0) throw Failure(TipoFallo::ErrorLocal, "el tamaño de página es 0");
  // 64 bits, because the most negative count divided by -1 does not fit in 32.
  const std::int64_t count = total;
  std::int64_t pages = count / pageSize;
  const bool partial = count % pageSize != 0;
  // A few matches still make one page, which the plain truncation would lose.
  const bool quotientBelowOne = pages == 0 && (count > 0) == (pageSize > 0);
  if (partial && quotientBelowOne) pages = 1;
  if (partial && count > pageSize) ++pages;
  if (pages < std::numeric_limits<Long>::min() || pages > std::numeric_limits<Long>::max()) {
    throw Error("el número de páginas está fuera del rango de 32 bits");
  }
  return static_cast<Long>(pages);
}

std::shared_ptr<ResultadosBusqueda> AssembleResults(
    const std::function<std::shared_ptr<ResultadoBusDocumento>()>& runCore,
    const RecordBuilder& build) {
  auto result = std::make_shared<ResultadosBusqueda>();
  ReportFailures(*result->ResultadoServicio, kSearchFailure, [&] {
    const std::shared_ptr<ResultadoBusDocumento> raw = runCore();
    std::shared_ptr<ColeccionDocumentos> records = BuildRecords(raw->xml, build);
    TakeOver(*result, *raw, std::move(records));
  });
  return result;
}

}  // namespace QuarloCliente::detail
