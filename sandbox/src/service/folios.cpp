#include "service/folios.hpp"

#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

std::string Whose(const std::string& environment, const std::string& rut, int tipo) {
  return "del emisor " + rut + " para el tipo " + std::to_string(tipo) + " en el ambiente " +
         environment;
}

std::string Ranges(const std::vector<CafRow>& cafs) {
  std::string text;
  for (const auto& caf : cafs) {
    if (!text.empty()) text += ", ";
    text += std::to_string(caf.desde) + "-" + std::to_string(caf.hasta);
  }
  return text;
}

FolioGrant Lowest(StoreTx& tx, const std::string& environment, const std::string& rut, int tipo,
                  const std::vector<CafRow>& cafs) {
  for (const auto& caf : cafs) {
    if (auto folio = tx.LowestFreeFolio(environment, rut, tipo, caf.desde, caf.hasta)) {
      return FolioGrant{*folio, caf};
    }
  }
  throw SandboxError(422, "no quedan folios libres en los CAF " + Whose(environment, rut, tipo) +
                              " (rangos " + Ranges(cafs) + "); suba un CAF nuevo");
}

}  // namespace

FolioGrant GrantFolio(StoreTx& tx, const std::string& environment, const std::string& rut, int tipo,
                      std::int64_t requested) {
  const auto cafs = tx.Cafs(environment, rut, tipo);
  if (cafs.empty()) {
    throw SandboxError(422, "no hay ningún CAF " + Whose(environment, rut, tipo) +
                                "; súbalo con UploadCaf antes de emitir");
  }
  FolioGrant grant;
  if (requested == 0) {
    grant = Lowest(tx, environment, rut, tipo, cafs);
  } else {
    auto caf = tx.CafCovering(environment, rut, tipo, requested);
    if (!caf) {
      throw SandboxError(422, "el folio " + std::to_string(requested) + " no está en ningún CAF " +
                                  Whose(environment, rut, tipo) + " (rangos " + Ranges(cafs) + ")");
    }
    if (tx.FolioUsed(environment, rut, tipo, requested)) {
      throw SandboxError(409, "el folio " + std::to_string(requested) + " ya fue usado " +
                                  Whose(environment, rut, tipo));
    }
    grant = FolioGrant{requested, std::move(*caf)};
  }
  tx.MarkFolioUsed(environment, rut, tipo, grant.folio);
  return grant;
}

}  // namespace QuarloSandbox
