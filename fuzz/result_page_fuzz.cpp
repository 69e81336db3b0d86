// A search or reconciliation answer, and the page of documents it carries, read every way the
// library reads one: records are built or Error is thrown; nothing may crash, leak or read out of
// bounds.

#include <cstdint>
#include <quarlo/quarlo.hpp>
#include <string>

#include "core/answer.hpp"
#include "core/transport.hpp"
#include "search/records.hpp"
#include "search/result_page.hpp"
#include "search/service_values.hpp"

namespace {

using namespace QuarloCliente;

template <class Build>
void Records(const std::string& page, Build build) {
  try {
    (void)detail::BuildRecords(page, [&build](const detail::DocumentFields& fields) {
      return RegistroBusqueda(build(fields));
    });
  } catch (const Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const detail::ServiceAnswer answer{detail::HttpAnswer(text, 200, "application/xml")};
    ResultadoBusDocumento raw;
    (void)detail::ReadResultPage(answer, raw);
  } catch (const Error&) {
  }
  Records(text,
          [](const auto& fields) { return detail::SearchSummary(fields, detail::ReadTimestamp); });
  Records(text, [](const auto& fields) { return detail::ReconciledSummary(fields); });
  Records(text, [](const auto& fields) { return detail::CessionSummary(fields); });
  return 0;
}
