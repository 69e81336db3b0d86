#include "server/routes.hpp"

#include <array>

namespace QuarloSandbox {

namespace {

constexpr std::string_view kDocument = "ambiente/rut/tipo/folio";

constexpr std::array<Route, 27> kRoutes{{
    {"SendDTEDocument", true, 0, "", SendDteDocument},
    {"SendBoletaDocument", true, 0, "", SendBoletaDocument},
    {"SendConsumoFolio", true, 0, "", SendConsumoFolio},
    {"SendLibroCompraVenta", true, 0, "", SendLibroCompraVenta},
    {"SendLibroGuia", true, 0, "", SendLibroGuia},
    {"SendLibroBoleta", true, 0, "", SendLibroBoleta},
    {"GenerateFolioConsume", true, 0, "", GenerateFolioConsume},
    {"UploadCaf", true, 0, "", UploadCaf},
    {"FiscalStatus", false, 5, "ambiente/grupo/rut/tipo/folio", FiscalStatus},
    {"TrackingByGroup", false, 5, "ambiente/rut/tipo/folio/grupo", TrackingByGroup},
    {"RecoverXML_V2", true, 0, "", RecoverXml},
    {"RecoverAckList", true, 0, "", RecoverAckList},
    {"RecoverPDF_V2", false, 5, "ambiente/grupo/rut/tipo/folio", RecoverPdf},
    {"Print", false, 5, "ambiente/rut/tipo/folio/impresora", Print},
    {"ConfirmDocument", false, 4, kDocument, ConfirmDocument},
    {"VoidDocument", false, 5, "ambiente/rut/tipo/folio/comentario", VoidDocument},
    {"UnVoidDocument", false, 5, "ambiente/rut/tipo/folio/comentario", UnVoidDocument},
    {"DeleteDocument", false, 4, kDocument, DeleteDocument},
    {"SendComercialResponse", true, 0, "", SendComercialResponse},
    {"ComercialStatusOfDocument", false, 6, "ambiente/grupo/rut/tipo/folio/conAEC",
     ComercialStatusOfDocument},
    {"GenerateAec", true, 0, "", GenerateAec},
    {"DeleteFactoring", false, 1, "rut", DeleteFactoring},
    {"GetFactorings", false, 0, "", GetFactorings},
    {"UpsertFactoring", true, 0, "", UpsertFactoring},
    {"PaginatedSearch", true, 0, "", PaginatedSearch},
    {"Reconciliate", false, 4, "ambiente/rut/desde/hasta", Reconciliate},
    {"ReconciliateCessions", false, 6, "ambiente/rut/desde/hasta/tipoConsulta/clave",
     ReconciliateCessions},
}};

}  // namespace

const Route* FindRoute(std::string_view name) {
  for (const auto& route : kRoutes) {
    if (route.name == name) return &route;
  }
  return nullptr;
}

}  // namespace QuarloSandbox
