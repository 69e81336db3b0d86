#pragma once

#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <variant>
#include <vector>

namespace QuarloCliente {

/// The folios of the documents a document refers to, as texts.
using ListaFolios = std::vector<std::string>;

/// The summary fields that ResumenDTE, DocumentoRespuesta and DTE share, in their order.
class QUARLO_API CamposResumenDTE {
 public:
  Long DocID = 0;
  std::string grupo;
  std::string Seguimiento;
  std::string tipoDte;
  Long folio = 0;
  std::string FchEmis;
  std::string FchVenc;
  std::string rutEmisor;
  std::string RznSoc;
  std::string Sucursal;
  std::string RUTRecep;
  std::string RznSocRecep;
  std::string MntTotal;
  std::string IVA;
  std::string MntNeto;
  std::string NmbItem;
  std::string CmnaOrigen;
  std::string CiudadRecep;
  std::string CmnaRecep;
  std::string Estructura;
  std::string Firma;
  std::string AutorizadoSII;
  std::string Distribuido;
  std::string Recibido;
  std::string Aprobado;
  Date TimeStamp{};
  std::string Cesion;
  std::string Anulado;
  std::string Eliminado;
  std::string Indexado;
  std::string IdAdicEmisor;
  std::string CdgIntRecep;
  std::string CorreoRecep;
  std::string DscItem;
  std::string MntExe;
  /// Each record has its own list, empty at creation.
  std::shared_ptr<QuarloCliente::ListaFolios> ListaFoliosReferencia =
      std::make_shared<QuarloCliente::ListaFolios>();
};

/// One document found by a search or a reconciliation. Amounts, dates other than TimeStamp and
/// the service's flags stay the service's texts.
class QUARLO_API ResumenDTE : public CamposResumenDTE {
 public:
  std::string RecibidoSII;
  std::string FechaRecibidoSII;
  std::string AnuladoContable;
  std::string DownloadCustomerDocumentUrl;
  std::string ClaimAction;
  std::string Conciliado;
  std::string FchRespComercial;
};

/// A document record for callers; the library neither creates nor fills it.
class QUARLO_API DocumentoRespuesta : public CamposResumenDTE {};

/// A document record for callers; the library neither creates nor fills it.
class QUARLO_API DTE : public CamposResumenDTE {};

/// One cession found by ConciliarCesiones; every field is the service's text.
class QUARLO_API ResumenCesion {
 public:
  std::string RUTVendedor;
  std::string EstadoCesion;
  std::string RUTDeudor;
  std::string MailDeudor;
  std::string tipoDocumento;
  std::string NombreDocumento;
  std::string folio;
  std::string FchEmisDTE;
  std::string MntTotal;
  std::string RUTCedente;
  std::string RazonSocialCedente;
  std::string MailCedente;
  std::string RUTCesionario;
  std::string RazonSocialCesionario;
  std::string MailCesionario;
  std::string FchCesion;
  std::string MntCesion;
  std::string FchVencimiento;
};

/// One record of a search or reconciliation page: a document summary or a cession summary.
using RegistroBusqueda = std::variant<std::shared_ptr<ResumenDTE>, std::shared_ptr<ResumenCesion>>;
/// The records of one page, in the service's order. BuscarDocumentos and ConciliarDocumentos fill
/// it with ResumenDTE records, ConciliarCesiones with ResumenCesion records; each record is a
/// std::variant, so std::get<std::shared_ptr<ResumenDTE>>(record) reads a document summary.
using ColeccionDocumentos = std::vector<RegistroBusqueda>;

/// The public result of BuscarDocumentos, ConciliarDocumentos and ConciliarCesiones.
class QUARLO_API ResultadosBusqueda {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string xml;
  std::string TiempoBusqueda;
  /// 32-bit: a year of boletas passes 32767 matches.
  Long TotalDocumentos = 0;
  Long TotalPages = 0;

  /// The held collection itself (not a copy), or nullptr when none was set.
  std::shared_ptr<ColeccionDocumentos> getDocumentos() const { return documentos_; }
  /// Makes the record hold the given collection (shared, not copied).
  void setDocumentos(std::shared_ptr<ColeccionDocumentos> documents) {
    documentos_ = std::move(documents);
  }

 private:
  std::shared_ptr<ColeccionDocumentos> documentos_;
};

/// The raw answer of the search and reconciliation cores.
class QUARLO_API ResultadoBusDocumento {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string xml;
  std::string TiempoBusqueda;
  Long TotalDocumentos = 0;
  Long TotalPages = 0;
};

}  // namespace QuarloCliente
