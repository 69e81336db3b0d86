#pragma once

#include <quarlo/export.hpp>

// The bindings of the daily folio report and the three books: ConsumoFoliosBinding
// (ConsumoFolio_v10.xsd), LibroCompraVentaBinding (LibroCV_v10.xsd, with the LceCal and
// LceCoCertif certificates of the SiiLce namespace), LibroGuiaBinding (LibroGuia_v10.xsd) and
// LibroBoletaBinding (LibroBOLETA_v10.xsd). A new book already holds its envelope and cover
// (EnvioLibro/Caratula, DocumentoConsumoFolios/Caratula) with their fixed version attributes;
// detail lines are appended, and every other element is reached through BindingElement paths:
//
//   auto libro = std::make_shared<LibroCompraVentaBinding>();
//   auto envio = libro->EnvioLibro();
//   envio->SetID("LCV202410");
//   envio->Caratula()->SetRutEmisorLibro("76543210-3").SetRutEnvia("12345678-5")
//       .SetPeriodoTributario(BindingDateTime::FromYearMonth(2024, 10))
//       .SetFchResol(BindingDateTime::FromDate(2014, 8, 22)).SetNroResol(80)
//       .SetTipoOperacion("VENTA").SetTipoLibro("MENSUAL").SetTipoEnvio("TOTAL");
//   auto linea = envio->AgregarDetalle();
//   linea->Set("TpoDoc", 33).Set("NroDoc", 1523).Set("MntTotal", 119000);
//   envio->SetTmstFirma(BindingDateTime::FromDateTime(2024, 11, 2, 10, 0, 0));

#include <memory>
#include <quarlo/binding_element.hpp>
#include <quarlo/binding_values.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace QuarloCliente {

/// DocumentoConsumoFolios/Caratula: the cover of the daily folio report.
class QUARLO_API CaratulaConsumoFolios : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const { return BindingDecimal(Get("@version")); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  CaratulaConsumoFolios& SetVersion(const BindingDecimal& version) {
    SetAttribute("version", version.ToString());
    return *this;
  }
  /// The issuer's RUT; throws Error when absent.
  std::string RutEmisor() const { return Get("RutEmisor"); }
  /// Sets the issuer's RUT.
  CaratulaConsumoFolios& SetRutEmisor(std::string_view rut) {
    Set("RutEmisor", rut);
    return *this;
  }
  /// The sender's RUT; throws Error when absent.
  std::string RutEnvia() const { return Get("RutEnvia"); }
  /// Sets the sender's RUT.
  CaratulaConsumoFolios& SetRutEnvia(std::string_view rut) {
    Set("RutEnvia", rut);
    return *this;
  }
  /// The resolution date; throws Error when absent.
  BindingDateTime FchResol() const { return GetDateTime("FchResol"); }
  /// Sets the resolution date (a date).
  CaratulaConsumoFolios& SetFchResol(const BindingDateTime& fecha) {
    Set("FchResol", fecha);
    return *this;
  }
  /// The resolution number; throws Error when absent.
  BindingInteger NroResol() const { return GetInteger("NroResol"); }
  /// Sets the resolution number.
  CaratulaConsumoFolios& SetNroResol(const BindingInteger& numero) {
    Set("NroResol", numero);
    return *this;
  }
  /// The first day reported; throws Error when absent.
  BindingDateTime FchInicio() const { return GetDateTime("FchInicio"); }
  /// Sets the first day reported (a date).
  CaratulaConsumoFolios& SetFchInicio(const BindingDateTime& fecha) {
    Set("FchInicio", fecha);
    return *this;
  }
  /// The last day reported; throws Error when absent.
  BindingDateTime FchFinal() const { return GetDateTime("FchFinal"); }
  /// Sets the last day reported (a date).
  CaratulaConsumoFolios& SetFchFinal(const BindingDateTime& fecha) {
    Set("FchFinal", fecha);
    return *this;
  }
  /// The report's sequence number; throws Error when absent.
  BindingInteger Correlativo() const { return GetInteger("Correlativo"); }
  /// Sets the report's sequence number.
  CaratulaConsumoFolios& SetCorrelativo(const BindingInteger& correlativo) {
    Set("Correlativo", correlativo);
    return *this;
  }
  /// The sending's sequence number; throws Error when absent.
  BindingInteger SecEnvio() const { return GetInteger("SecEnvio"); }
  /// Sets the sending's sequence number.
  CaratulaConsumoFolios& SetSecEnvio(const BindingInteger& secuencia) {
    Set("SecEnvio", secuencia);
    return *this;
  }
  /// The sending's signature date-time; throws Error when absent.
  BindingDateTime TmstFirmaEnv() const { return GetDateTime("TmstFirmaEnv"); }
  /// Sets the sending's signature date-time (a date-time).
  CaratulaConsumoFolios& SetTmstFirmaEnv(const BindingDateTime& momento) {
    Set("TmstFirmaEnv", momento);
    return *this;
  }
};

/// One Resumen of the daily folio report: the totals of one document type.
class QUARLO_API ResumenConsumoFolios : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The document type (39, 41 or 61); throws Error when absent.
  BindingInteger TipoDocumento() const { return GetInteger("TipoDocumento"); }
  /// Sets the document type.
  ResumenConsumoFolios& SetTipoDocumento(const BindingInteger& tipo) {
    Set("TipoDocumento", tipo);
    return *this;
  }
  /// The total amount; throws Error when absent.
  BindingInteger MntTotal() const { return GetInteger("MntTotal"); }
  /// Sets the total amount.
  ResumenConsumoFolios& SetMntTotal(const BindingInteger& monto) {
    Set("MntTotal", monto);
    return *this;
  }
  /// A new RangoUtilizados (used folios inicial..final) after the existing ones.
  std::shared_ptr<BindingElement> AgregarRangoUtilizados(const BindingInteger& folioInicial,
                                                         const BindingInteger& folioFinal) {
    auto rango = Append("RangoUtilizados");
    rango->Set("Inicial", folioInicial).Set("Final", folioFinal);
    return rango;
  }
  /// A new RangoAnulados (voided folios inicial..final) after the existing ones.
  std::shared_ptr<BindingElement> AgregarRangoAnulados(const BindingInteger& folioInicial,
                                                       const BindingInteger& folioFinal) {
    auto rango = Append("RangoAnulados");
    rango->Set("Inicial", folioInicial).Set("Final", folioFinal);
    return rango;
  }
};

/// ConsumoFolios/DocumentoConsumoFolios.
class QUARLO_API DocumentoConsumoFolios : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The ID attribute; throws Error when absent.
  std::string ID() const { return Get("@ID"); }
  /// Sets the ID attribute (an XML name).
  DocumentoConsumoFolios& SetID(std::string_view id) {
    SetAttribute("ID", id);
    return *this;
  }
  /// The cover; throws Error when absent (a loaded report without one).
  std::shared_ptr<CaratulaConsumoFolios> Caratula() const {
    return Child<CaratulaConsumoFolios>("Caratula");
  }
  /// The Resumen entries in document order.
  std::vector<std::shared_ptr<ResumenConsumoFolios>> Resumenes() const {
    return ChildrenAt<ResumenConsumoFolios>("Resumen");
  }
  /// Resumen `item`, 1 for the first; throws Error when there is no such entry.
  std::shared_ptr<ResumenConsumoFolios> Resumen(std::size_t item) const {
    return ItemAt<ResumenConsumoFolios>("Resumen", item);
  }
  /// A new Resumen after the existing ones; throws Error beyond the schema's three.
  std::shared_ptr<ResumenConsumoFolios> AgregarResumen() {
    return AppendChild<ResumenConsumoFolios>("Resumen");
  }
};

/// The daily folio report (Consumo de Folios) of ConsumoFolio_v10.xsd.
class QUARLO_API ConsumoFoliosBinding : public BindingDocument {
 public:
  /// An empty report: version 1.0 and a DocumentoConsumoFolios holding a Caratula (version 1.0).
  ConsumoFoliosBinding();
  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const { return BindingDecimal(Get("@version")); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  ConsumoFoliosBinding& SetVersion(const BindingDecimal& version) {
    SetAttribute("version", version.ToString());
    return *this;
  }
  /// DocumentoConsumoFolios; throws Error when absent.
  std::shared_ptr<QuarloCliente::DocumentoConsumoFolios> DocumentoConsumoFolios() const {
    return Child<QuarloCliente::DocumentoConsumoFolios>("DocumentoConsumoFolios");
  }
};

/// EnvioLibro/Caratula of the three books. TipoOperacion and CodAutRec exist only in the
/// purchase/sales book; on the others their setters throw Error.
class QUARLO_API CaratulaLibro : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The book owner's RUT; throws Error when absent.
  std::string RutEmisorLibro() const { return Get("RutEmisorLibro"); }
  /// Sets the book owner's RUT.
  CaratulaLibro& SetRutEmisorLibro(std::string_view rut) {
    Set("RutEmisorLibro", rut);
    return *this;
  }
  /// The sender's RUT; throws Error when absent.
  std::string RutEnvia() const { return Get("RutEnvia"); }
  /// Sets the sender's RUT.
  CaratulaLibro& SetRutEnvia(std::string_view rut) {
    Set("RutEnvia", rut);
    return *this;
  }
  /// The tax period, a year-month; throws Error when absent.
  BindingDateTime PeriodoTributario() const { return GetDateTime("PeriodoTributario"); }
  /// Sets the tax period (BindingDateTime::FromYearMonth).
  CaratulaLibro& SetPeriodoTributario(const BindingDateTime& periodo) {
    Set("PeriodoTributario", periodo);
    return *this;
  }
  /// The resolution date; throws Error when absent.
  BindingDateTime FchResol() const { return GetDateTime("FchResol"); }
  /// Sets the resolution date (a date).
  CaratulaLibro& SetFchResol(const BindingDateTime& fecha) {
    Set("FchResol", fecha);
    return *this;
  }
  /// The resolution number; throws Error when absent.
  BindingInteger NroResol() const { return GetInteger("NroResol"); }
  /// Sets the resolution number.
  CaratulaLibro& SetNroResol(const BindingInteger& numero) {
    Set("NroResol", numero);
    return *this;
  }
  /// COMPRA or VENTA; throws Error when absent.
  std::string TipoOperacion() const { return Get("TipoOperacion"); }
  /// Sets COMPRA or VENTA.
  CaratulaLibro& SetTipoOperacion(std::string_view tipo) {
    Set("TipoOperacion", tipo);
    return *this;
  }
  /// The book type (MENSUAL, ESPECIAL, RECTIFICA); throws Error when absent.
  std::string TipoLibro() const { return Get("TipoLibro"); }
  /// Sets the book type.
  CaratulaLibro& SetTipoLibro(std::string_view tipo) {
    Set("TipoLibro", tipo);
    return *this;
  }
  /// The sending type (PARCIAL, FINAL, TOTAL, AJUSTE); throws Error when absent.
  std::string TipoEnvio() const { return Get("TipoEnvio"); }
  /// Sets the sending type.
  CaratulaLibro& SetTipoEnvio(std::string_view tipo) {
    Set("TipoEnvio", tipo);
    return *this;
  }
  /// The segment number; throws Error when absent.
  BindingInteger NroSegmento() const { return GetInteger("NroSegmento"); }
  /// Sets the segment number (positive).
  CaratulaLibro& SetNroSegmento(const BindingInteger& numero) {
    Set("NroSegmento", numero);
    return *this;
  }
  /// The notification folio; throws Error when absent.
  BindingInteger FolioNotificacion() const { return GetInteger("FolioNotificacion"); }
  /// Sets the notification folio.
  CaratulaLibro& SetFolioNotificacion(const BindingInteger& folio) {
    Set("FolioNotificacion", folio);
    return *this;
  }
  /// The authorisation code of a rectification; throws Error when absent.
  std::string CodAutRec() const { return Get("CodAutRec"); }
  /// Sets the authorisation code of a rectification.
  CaratulaLibro& SetCodAutRec(std::string_view codigo) {
    Set("CodAutRec", codigo);
    return *this;
  }
};

/// The EnvioLibro of a book: its ID, cover, detail lines and signature time stamp.
class QUARLO_API EnvioLibro : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The ID attribute; throws Error when absent.
  std::string ID() const { return Get("@ID"); }
  /// Sets the ID attribute (an XML name).
  EnvioLibro& SetID(std::string_view id) {
    SetAttribute("ID", id);
    return *this;
  }
  /// The cover; throws Error when absent (a loaded book without one).
  std::shared_ptr<CaratulaLibro> Caratula() const { return Child<CaratulaLibro>("Caratula"); }
  /// The detail lines in document order.
  std::vector<std::shared_ptr<BindingElement>> Detalles() const {
    return ChildrenAt<BindingElement>("Detalle");
  }
  /// Detail line `item`, 1 for the first; throws Error when there is no such line.
  std::shared_ptr<BindingElement> Detalle(std::size_t item) const {
    return ItemAt<BindingElement>("Detalle", item);
  }
  /// A new detail line after the existing ones (before TmstFirma whatever the order of calls).
  std::shared_ptr<BindingElement> AgregarDetalle() {
    return AppendChild<BindingElement>("Detalle");
  }
  /// The signature date-time; throws Error when absent.
  BindingDateTime TmstFirma() const { return GetDateTime("TmstFirma"); }
  /// Sets the signature date-time (a date-time).
  EnvioLibro& SetTmstFirma(const BindingDateTime& momento) {
    Set("TmstFirma", momento);
    return *this;
  }
};

/// LceCal/DocumentoCal and LceCoCertif/DocumentoCoCertif: the signed part of a certificate.
class QUARLO_API DocumentoCertificado : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The ID attribute; throws Error when absent.
  std::string ID() const { return Get("@ID"); }
  /// Sets the ID attribute.
  DocumentoCertificado& SetID(std::string_view id) {
    SetAttribute("ID", id);
    return *this;
  }
  /// The certificate's signature date-time; throws Error when absent.
  BindingDateTime TmstFirma() const { return GetDateTime("TmstFirma"); }
  /// Sets the certificate's signature date-time (a date-time).
  DocumentoCertificado& SetTmstFirma(const BindingDateTime& momento) {
    Set("TmstFirma", momento);
    return *this;
  }
};

/// LceCal: the certificate of an accounting-book provider (SiiLce namespace).
class QUARLO_API LceCal : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The version attribute as written; throws Error when absent.
  std::string Version() const { return Get("@version"); }
  /// Sets the version attribute (fixed by the schema to 1.0, so "1" is accepted too).
  LceCal& SetVersion(std::string_view version) {
    SetAttribute("version", version);
    return *this;
  }
  /// DocumentoCal; throws Error when absent.
  std::shared_ptr<DocumentoCertificado> DocumentoCal() const {
    return Child<DocumentoCertificado>("DocumentoCal");
  }
};

/// LceCoCertif/DocumentoCoCertif, which holds an LceCal of its own.
class QUARLO_API DocumentoCoCertif : public DocumentoCertificado {
 public:
  using DocumentoCertificado::DocumentoCertificado;
  /// The nested LceCal; throws Error when absent.
  std::shared_ptr<QuarloCliente::LceCal> LceCal() const {
    return Child<QuarloCliente::LceCal>("LceCal");
  }
};

/// LceCoCertif: the co-certificate of an accounting-book provider (SiiLce namespace).
class QUARLO_API LceCoCertif : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The version attribute as written; throws Error when absent.
  std::string Version() const { return Get("@version"); }
  /// Sets the version attribute (fixed by the schema to 1.0, so "1" is accepted too).
  LceCoCertif& SetVersion(std::string_view version) {
    SetAttribute("version", version);
    return *this;
  }
  /// DocumentoCoCertif; throws Error when absent.
  std::shared_ptr<QuarloCliente::DocumentoCoCertif> DocumentoCoCertif() const {
    return Child<QuarloCliente::DocumentoCoCertif>("DocumentoCoCertif");
  }
};

/// The EnvioLibro of the purchase/sales book, with its optional certificate: the choice of one
/// LceCal or one LceCoCertif after the detail lines.
class QUARLO_API EnvioLibroCompraVenta : public EnvioLibro {
 public:
  using EnvioLibro::EnvioLibro;
  /// The LceCal of the choice, or nullptr.
  std::shared_ptr<QuarloCliente::LceCal> LceCal() const {
    return OptionalChild<QuarloCliente::LceCal>("LceCal");
  }
  /// The LceCoCertif of the choice, or nullptr.
  std::shared_ptr<QuarloCliente::LceCoCertif> LceCoCertif() const {
    return OptionalChild<QuarloCliente::LceCoCertif>("LceCoCertif");
  }
  /// A new LceCal (with DocumentoCal) in the choice, replacing the certificate held before.
  std::shared_ptr<QuarloCliente::LceCal> CrearLceCal() {
    return ReplaceChild<QuarloCliente::LceCal>("LceCal");
  }
  /// A new LceCoCertif (with DocumentoCoCertif and its LceCal) in the choice, replacing the
  /// certificate held before.
  std::shared_ptr<QuarloCliente::LceCoCertif> CrearLceCoCertif() {
    return ReplaceChild<QuarloCliente::LceCoCertif>("LceCoCertif");
  }
};

/// The purchase or sales book (Libro de Compra/Venta) of LibroCV_v10.xsd.
class QUARLO_API LibroCompraVentaBinding : public BindingDocument {
 public:
  /// An empty book: version 1.0 and an EnvioLibro holding a Caratula.
  LibroCompraVentaBinding();
  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const { return BindingDecimal(Get("@version")); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  LibroCompraVentaBinding& SetVersion(const BindingDecimal& version) {
    SetAttribute("version", version.ToString());
    return *this;
  }
  /// EnvioLibro; throws Error when absent.
  std::shared_ptr<EnvioLibroCompraVenta> EnvioLibro() const {
    return Child<EnvioLibroCompraVenta>("EnvioLibro");
  }
};

/// The dispatch-guide book (Libro de Guías) of LibroGuia_v10.xsd.
class QUARLO_API LibroGuiaBinding : public BindingDocument {
 public:
  /// An empty book: version 1.0 and an EnvioLibro holding a Caratula.
  LibroGuiaBinding();
  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const { return BindingDecimal(Get("@version")); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  LibroGuiaBinding& SetVersion(const BindingDecimal& version) {
    SetAttribute("version", version.ToString());
    return *this;
  }
  /// EnvioLibro; throws Error when absent.
  std::shared_ptr<QuarloCliente::EnvioLibro> EnvioLibro() const {
    return Child<QuarloCliente::EnvioLibro>("EnvioLibro");
  }
};

/// The boleta book (Libro de Boletas) of LibroBOLETA_v10.xsd.
class QUARLO_API LibroBoletaBinding : public BindingDocument {
 public:
  /// An empty book: version 1.0 and an EnvioLibro holding a Caratula.
  LibroBoletaBinding();
  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const { return BindingDecimal(Get("@version")); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  LibroBoletaBinding& SetVersion(const BindingDecimal& version) {
    SetAttribute("version", version.ToString());
    return *this;
  }
  /// EnvioLibro; throws Error when absent.
  std::shared_ptr<QuarloCliente::EnvioLibro> EnvioLibro() const {
    return Child<QuarloCliente::EnvioLibro>("EnvioLibro");
  }
};

}  // namespace QuarloCliente
