#include "search/records.hpp"

#include <quarlo/error.hpp>
#include <span>

#include "core/numbers.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"
#include "search/service_values.hpp"

namespace QuarloCliente::detail {

namespace {

template <typename Record>
struct TextField {
  std::string_view path;
  std::string Record::*member;
};

using SummaryField = TextField<ResumenDTE>;

constexpr SummaryField kPartiesAndAmounts[] = {
    {"//RUTEmisor", &ResumenDTE::rutEmisor},
    {"//TipoDTE", &ResumenDTE::tipoDte},
    {"//IdAdicEmisor", &ResumenDTE::IdAdicEmisor},
    {"//Sucursal", &ResumenDTE::Sucursal},
    {"//RUTRecep", &ResumenDTE::RUTRecep},
    {"//RznSocRecep", &ResumenDTE::RznSocRecep},
    {"//CdgIntRecep", &ResumenDTE::CdgIntRecep},
    {"//CorreoRecep", &ResumenDTE::CorreoRecep},
    {"//MntTotal", &ResumenDTE::MntTotal},
    {"//NmbItem", &ResumenDTE::NmbItem},
    {"//DscItem", &ResumenDTE::DscItem},
    {"//RznSoc", &ResumenDTE::RznSoc},
    {"//MntNeto", &ResumenDTE::MntNeto},
    {"//MntExe", &ResumenDTE::MntExe},
    {"//IVA", &ResumenDTE::IVA},
    {"//Seguimiento", &ResumenDTE::Seguimiento},
};

constexpr SummaryField kPlacesAndProcessing[] = {
    {"//CmnaOrigen", &ResumenDTE::CmnaOrigen},
    {"//CiudadRecep", &ResumenDTE::CiudadRecep},
    {"//CmnaRecep", &ResumenDTE::CmnaRecep},
    {"//Estructura", &ResumenDTE::Estructura},
    {"//Firma", &ResumenDTE::Firma},
    {"//AutorizadoSII", &ResumenDTE::AutorizadoSII},
    {"//Distribuido", &ResumenDTE::Distribuido},
    {"//Recibido", &ResumenDTE::Recibido},
    {"//Aprobado", &ResumenDTE::Aprobado},
};

constexpr SummaryField kLifecycleFlags[] = {
    {"//Cesion", &ResumenDTE::Cesion},
    {"//Anulado", &ResumenDTE::Anulado},
    {"//Eliminado", &ResumenDTE::Eliminado},
    {"//Indexado", &ResumenDTE::Indexado},
};

constexpr SummaryField kSearchTail[] = {
    {"//FchEmis", &ResumenDTE::FchEmis},
    {"//FchVenc", &ResumenDTE::FchVenc},
    {"//FchRecepSII", &ResumenDTE::FechaRecibidoSII},
    {"//AnuladoContable", &ResumenDTE::AnuladoContable},
    {"//DownloadCustomerDocumentUrl", &ResumenDTE::DownloadCustomerDocumentUrl},
    {"//ClaimAction", &ResumenDTE::ClaimAction},
    {"//Conciliado", &ResumenDTE::Conciliado},
    {"//FchRespComercial", &ResumenDTE::FchRespComercial},
};

constexpr SummaryField kReconciliationTail[] = {
    {"//FchEmis", &ResumenDTE::FchEmis},
    {"//FchVenc", &ResumenDTE::FchVenc},
    {"//RecibidoSII", &ResumenDTE::RecibidoSII},
    {"//FechaRecibidoSII", &ResumenDTE::FechaRecibidoSII},
};

constexpr std::string_view kReferencePaths[] = {"//FolioRef801", "//FolioRef802", "//FolioRef803"};

using CessionField = TextField<ResumenCesion>;

constexpr CessionField kCessionFields[] = {
    {"//VENDEDOR", &ResumenCesion::RUTVendedor},
    {"//ESTADO_CESION", &ResumenCesion::EstadoCesion},
    {"//DEUDOR", &ResumenCesion::RUTDeudor},
    {"//MAIL_DEUDOR", &ResumenCesion::MailDeudor},
    {"//TIPO_DOC", &ResumenCesion::tipoDocumento},
    {"//NOMBRE_DOC", &ResumenCesion::NombreDocumento},
    {"//FOLIO_DOC", &ResumenCesion::folio},
    {"//MNT_TOTAL", &ResumenCesion::MntTotal},
    {"//CEDENTE", &ResumenCesion::RUTCedente},
    {"//RZ_CEDENTE", &ResumenCesion::RazonSocialCedente},
    {"//MAIL_CEDENTE", &ResumenCesion::MailCedente},
    {"//CESIONARIO", &ResumenCesion::RUTCesionario},
    {"//RZ_CESIONARIO", &ResumenCesion::RazonSocialCesionario},
    {"//MAIL_CESIONARIO", &ResumenCesion::MailCesionario},
    {"//MNT_CESION", &ResumenCesion::MntCesion},
    {"//FCH_EMIS_DTE", &ResumenCesion::FchEmisDTE},
    {"//FCH_VENCIMIENTO", &ResumenCesion::FchVencimiento},
    {"//FCH_CESION", &ResumenCesion::FchCesion},
};

template <typename Record>
void CopyTexts(Record& record, const DocumentFields& fields,
               std::span<const TextField<Record>> table) {
  for (const TextField<Record>& field : table) record.*field.member = fields.Text(field.path);
}

// The members both kinds of document summary share, in the order they are read; the TimeStamp
// comes from `timestamp` at its turn, so that a failure reports the first bad value.
template <typename TimestampAtItsTurn>
void FillSummary(ResumenDTE& record, const DocumentFields& fields, TimestampAtItsTurn&& timestamp,
                 std::span<const SummaryField> tail) {
  CopyTexts<ResumenDTE>(record, fields, kPartiesAndAmounts);
  record.folio = ReadLong(fields.Text("//Folio"), "Folio");
  CopyTexts<ResumenDTE>(record, fields, kPlacesAndProcessing);
  record.TimeStamp = timestamp();
  CopyTexts<ResumenDTE>(record, fields, kLifecycleFlags);
  for (const std::string_view path : kReferencePaths) {
    std::string folio = fields.Text(path);
    if (!folio.empty()) record.ListaFoliosReferencia->push_back(std::move(folio));
  }
  CopyTexts<ResumenDTE>(record, fields, tail);
}

}  // namespace

DocumentFields::DocumentFields(const xmlNode* document) : document_(document) {}

std::string DocumentFields::Text(std::string_view path) const {
  return TextOfFirstIn(document_, path);
}

std::shared_ptr<ColeccionDocumentos> BuildRecords(const std::string& pageXml,
                                                  const RecordBuilder& build) {
  const XmlDocument page = XmlDocument::Parse(pageXml);
  auto records = std::make_shared<ColeccionDocumentos>();
  for (const xmlNode* document : ElementsNamed(XmlDocumentAccess::Doc(page), "document")) {
    records->push_back(build(DocumentFields(document)));
  }
  return records;
}

std::shared_ptr<ResumenDTE> SearchSummary(const DocumentFields& fields,
                                          const TimestampReader& readTimestamp) {
  auto record = std::make_shared<ResumenDTE>();
  FillSummary(
      *record, fields, [&] { return readTimestamp(fields.Text("//TimeStamp")); }, kSearchTail);
  return record;
}

std::shared_ptr<ResumenDTE> ReconciledSummary(const DocumentFields& fields) {
  const Date timestamp = ReadReconciledTimestamp(fields.Text("//TimeStamp"));
  auto record = std::make_shared<ResumenDTE>();
  FillSummary(
      *record, fields, [&] { return timestamp; }, kReconciliationTail);
  return record;
}

std::shared_ptr<ResumenCesion> CessionSummary(const DocumentFields& fields) {
  auto record = std::make_shared<ResumenCesion>();
  CopyTexts<ResumenCesion>(*record, fields, kCessionFields);
  return record;
}

}  // namespace QuarloCliente::detail
