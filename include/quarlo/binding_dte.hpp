#pragma once

#include <quarlo/export.hpp>

// The DTE and boleta bindings: DteDocumentBinding (the DTE element of DTE_v10.xsd, in one of the
// forms Documento, Liquidacion or Exportaciones) and BoletaDocumentBinding (the DTE element of
// EnvioBOLETA_v11.xsd), with typed access to the parts the library reads and writes and, through
// BindingElement, schema-ordered path access to every other element. Both are written with the
// root name "DTE".
//
// A factura in a few lines:
//
//   auto dte = std::make_shared<DteDocumentBinding>();
//   auto doc = dte->CrearDocumento();
//   doc->SetID("F33T1523");
//   auto enc = doc->Encabezado();
//   enc->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica)
//       .SetFolio(1523)
//       .SetFchEmis(BindingDateTime::FromDate(2024, 5, 2));
//   enc->Emisor()->SetRUTEmisor("76543210-3")
//       .Set("RznSoc", "Comercializadora Ñuñoa Ltda.")
//       .Set("GiroEmis", "Ferretería")
//       .Set("Acteco", 466301)
//       .Set("DirOrigen", "Av. Irarrázaval 3456")
//       .Set("CmnaOrigen", "Ñuñoa");
//   enc->Receptor()->SetRUTRecep("77214903-4").SetRznSocRecep("Constructora Los Peñascos SpA");
//   enc->Receptor()->Set("GiroRecep", "Construcción").Set("DirRecep", "Av. José Arrieta 8120");
//   enc->Totales()->Set("MntNeto", 100000).Set("TasaIVA", "19").Set("IVA", 19000);
//   enc->Totales()->SetMntTotal(119000);
//   auto linea = doc->AgregarDetalle();
//   linea->SetNroLinDet(1).SetNmbItem("Cemento 25 kg").Set("QtyItem", 20);
//   linea->Set("PrcItem", 5000).Set("MontoItem", 100000);
//
// The TED, CAF, DA, RNG, FRMA and FRMT elements exist as soon as the form is created; the key of
// the CAF (RSAPK or DSAPK) is created with TedDA::CrearRSAPK.

#include <memory>
#include <quarlo/binding_element.hpp>
#include <quarlo/binding_values.hpp>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace QuarloCliente {

/// What tells the DTE forms and the boleta apart: the TipoDTE codes each accepts and the type of
/// its amounts (decimal in Exportaciones, integer elsewhere).
struct QUARLO_API FormaDocumento {
  using Tipo = TipoDTEDocumento;
  using Monto = BindingInteger;
};
struct QUARLO_API FormaLiquidacion {
  using Tipo = TipoDTELiquidacion;
  using Monto = BindingInteger;
};
struct QUARLO_API FormaExportaciones {
  using Tipo = TipoDTEExportaciones;
  using Monto = BindingDecimal;
};
struct QUARLO_API FormaBoleta {
  using Tipo = TipoDTEBoleta;
  using Monto = BindingInteger;
};

namespace detail {
/// The amount at a path, as an integer or a decimal.
template <class Monto>
Monto GetMonto(const BindingElement& element, std::string_view path) {
  if constexpr (std::is_same_v<Monto, BindingDecimal>) {
    return element.GetDecimal(path);
  } else {
    return element.GetInteger(path);
  }
}
}  // namespace detail

/// Encabezado/IdDoc: the document's type, folio, date and service indicator.
template <class Forma>
class QUARLO_API IdDocDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The TipoDTE; throws Error when absent or not a code of the form.
  typename Forma::Tipo TipoDTE() const {
    return ParseTipoDTE<typename Forma::Tipo>(Get("TipoDTE"));
  }
  /// Sets the TipoDTE.
  IdDocDte& SetTipoDTE(typename Forma::Tipo tipo) {
    Set("TipoDTE", TipoDTEText(tipo));
    return *this;
  }
  /// The folio; throws Error when absent or not an integer.
  BindingInteger Folio() const { return GetInteger("Folio"); }
  /// Sets the folio (a positive integer of up to 10 digits).
  IdDocDte& SetFolio(const BindingInteger& folio) {
    Set("Folio", folio);
    return *this;
  }
  /// The issue date; throws Error when absent or not a date.
  BindingDateTime FchEmis() const { return GetDateTime("FchEmis"); }
  /// Sets the issue date (a date, not a date-time).
  IdDocDte& SetFchEmis(const BindingDateTime& fecha) {
    Set("FchEmis", fecha);
    return *this;
  }
  /// The service indicator; throws Error when absent or not an integer.
  BindingInteger IndServicio() const { return GetInteger("IndServicio"); }
  /// Sets the service indicator (1 to 3 in a DTE, 1 to 4 in a boleta).
  IdDocDte& SetIndServicio(const BindingInteger& indicador) {
    Set("IndServicio", indicador);
    return *this;
  }
};

/// Encabezado/Emisor.
class QUARLO_API EmisorDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The issuer's RUT ("76543210-3"); throws Error when absent.
  std::string RUTEmisor() const { return Get("RUTEmisor"); }
  /// Sets the issuer's RUT; throws Error unless it is digits, "-" and a digit or "K".
  EmisorDte& SetRUTEmisor(std::string_view rut) {
    Set("RUTEmisor", rut);
    return *this;
  }
};

/// Encabezado/Receptor.
class QUARLO_API ReceptorDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The receiver's RUT; throws Error when absent.
  std::string RUTRecep() const { return Get("RUTRecep"); }
  /// Sets the receiver's RUT.
  ReceptorDte& SetRUTRecep(std::string_view rut) {
    Set("RUTRecep", rut);
    return *this;
  }
  /// The receiver's name; throws Error when absent.
  std::string RznSocRecep() const { return Get("RznSocRecep"); }
  /// Sets the receiver's name.
  ReceptorDte& SetRznSocRecep(std::string_view nombre) {
    Set("RznSocRecep", nombre);
    return *this;
  }
};

/// Encabezado/Totales.
template <class Forma>
class QUARLO_API TotalesDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The total amount; throws Error when absent or not a number of the form's kind.
  typename Forma::Monto MntTotal() const {
    return detail::GetMonto<typename Forma::Monto>(*this, "MntTotal");
  }
  /// Sets the total amount.
  TotalesDte& SetMntTotal(const typename Forma::Monto& monto) {
    Set("MntTotal", monto);
    return *this;
  }
};

/// The form's Encabezado.
template <class Forma>
class QUARLO_API EncabezadoDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// IdDoc; throws Error when absent.
  std::shared_ptr<IdDocDte<Forma>> IdDoc() const { return Child<IdDocDte<Forma>>("IdDoc"); }
  /// Emisor; throws Error when absent.
  std::shared_ptr<EmisorDte> Emisor() const { return Child<EmisorDte>("Emisor"); }
  /// Receptor; throws Error when absent.
  std::shared_ptr<ReceptorDte> Receptor() const { return Child<ReceptorDte>("Receptor"); }
  /// Totales; throws Error when absent.
  std::shared_ptr<TotalesDte<Forma>> Totales() const { return Child<TotalesDte<Forma>>("Totales"); }
};

/// One Detalle line.
class QUARLO_API DetalleDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The line number; throws Error when absent.
  BindingInteger NroLinDet() const { return GetInteger("NroLinDet"); }
  /// Sets the line number.
  DetalleDte& SetNroLinDet(const BindingInteger& numero) {
    Set("NroLinDet", numero);
    return *this;
  }
  /// The item name; throws Error when absent.
  std::string NmbItem() const { return Get("NmbItem"); }
  /// Sets the item name.
  DetalleDte& SetNmbItem(std::string_view nombre) {
    Set("NmbItem", nombre);
    return *this;
  }
};

/// TED/DD/CAF/DA/RNG: the authorised folio range.
class QUARLO_API RangoFolios : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The first folio; throws Error when absent.
  BindingInteger D() const { return GetInteger("D"); }
  /// Sets the first folio.
  RangoFolios& SetD(const BindingInteger& desde) {
    Set("D", desde);
    return *this;
  }
  /// The last folio; throws Error when absent.
  BindingInteger H() const { return GetInteger("H"); }
  /// Sets the last folio.
  RangoFolios& SetH(const BindingInteger& hasta) {
    Set("H", hasta);
    return *this;
  }
};

/// TED/DD/CAF/DA/RSAPK: the RSA public key of the CAF.
class QUARLO_API ClavePublicaRSA : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The modulus as Base64 ("" when empty); throws Error when absent.
  std::string M() const { return Get("M"); }
  /// Sets the modulus from Base64; "==" and "" are the empty value.
  ClavePublicaRSA& SetM(std::string_view base64) {
    SetBase64("M", base64);
    return *this;
  }
  /// The exponent as Base64 ("" when empty); throws Error when absent.
  std::string E() const { return Get("E"); }
  /// Sets the exponent from Base64; "==" and "" are the empty value.
  ClavePublicaRSA& SetE(std::string_view base64) {
    SetBase64("E", base64);
    return *this;
  }
};

/// A signature value with its algoritmo attribute: TED/DD/CAF/FRMA and TED/FRMT.
class QUARLO_API FirmaTimbre : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The algoritmo attribute; throws Error when absent.
  std::string Algoritmo() const { return Get("@algoritmo"); }
  /// Sets the algoritmo attribute ("SHA1withRSA"; FRMT also takes "SHA1withDSA").
  FirmaTimbre& SetAlgoritmo(std::string_view algoritmo) {
    SetAttribute("algoritmo", algoritmo);
    return *this;
  }
  /// The signature as Base64 ("" when empty).
  const std::string& Valor() const { return Text(); }
  /// Sets the signature from Base64; "==" and "" are the empty value.
  FirmaTimbre& SetValor(std::string_view base64) {
    SetBase64("", base64);
    return *this;
  }
};

/// TED/DD/CAF/DA: the authorisation data of the CAF.
template <class Forma>
class QUARLO_API TedDA : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The issuer's RUT in the CAF; throws Error when absent.
  std::string RE() const { return Get("RE"); }
  /// Sets the issuer's RUT in the CAF.
  TedDA& SetRE(std::string_view rut) {
    Set("RE", rut);
    return *this;
  }
  /// The issuer's name in the CAF; throws Error when absent.
  std::string RS() const { return Get("RS"); }
  /// Sets the issuer's name in the CAF.
  TedDA& SetRS(std::string_view nombre) {
    Set("RS", nombre);
    return *this;
  }
  /// The CAF's TipoDTE; throws Error when absent or not a code of the form.
  typename Forma::Tipo TD() const { return ParseTipoDTE<typename Forma::Tipo>(Get("TD")); }
  /// Sets the CAF's TipoDTE.
  TedDA& SetTD(typename Forma::Tipo tipo) {
    Set("TD", TipoDTEText(tipo));
    return *this;
  }
  /// Sets TD to 0, the code of a placeholder stamp that the service replaces with the document's
  /// type; TD() throws and Validate reports the value until a real code is set. The library
  /// defines it for the four forms.
  TedDA& SetTDPlaceholder();
  /// The folio range; throws Error when absent.
  std::shared_ptr<RangoFolios> RNG() const { return Child<RangoFolios>("RNG"); }
  /// The authorisation date; throws Error when absent.
  BindingDateTime FA() const { return GetDateTime("FA"); }
  /// Sets the authorisation date.
  TedDA& SetFA(const BindingDateTime& fecha) {
    Set("FA", fecha);
    return *this;
  }
  /// The RSA key of the key choice, or nullptr when the choice holds a DSA key or nothing.
  std::shared_ptr<ClavePublicaRSA> RSAPK() const { return OptionalChild<ClavePublicaRSA>("RSAPK"); }
  /// A new, empty RSA key attached as the key choice, replacing an RSA or DSA key held before.
  std::shared_ptr<ClavePublicaRSA> CrearRSAPK() { return ReplaceChild<ClavePublicaRSA>("RSAPK"); }
  /// The DSA key of the key choice, or nullptr.
  std::shared_ptr<BindingElement> DSAPK() const { return OptionalChild<BindingElement>("DSAPK"); }
  /// A new, empty DSA key attached as the key choice, replacing a key held before.
  std::shared_ptr<BindingElement> CrearDSAPK() { return ReplaceChild<BindingElement>("DSAPK"); }
  /// The key identifier; throws Error when absent.
  BindingInteger IDK() const { return GetInteger("IDK"); }
  /// Sets the key identifier.
  TedDA& SetIDK(const BindingInteger& idk) {
    Set("IDK", idk);
    return *this;
  }
};

/// TED/DD/CAF.
template <class Forma>
class QUARLO_API TedCAF : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The version attribute; throws Error when absent.
  std::string Version() const { return Get("@version"); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  TedCAF& SetVersion(std::string_view version) {
    SetAttribute("version", version);
    return *this;
  }
  /// DA; throws Error when absent.
  std::shared_ptr<TedDA<Forma>> DA() const { return Child<TedDA<Forma>>("DA"); }
  /// FRMA; throws Error when absent.
  std::shared_ptr<FirmaTimbre> FRMA() const { return Child<FirmaTimbre>("FRMA"); }
};

/// TED/DD: the stamped data.
template <class Forma>
class QUARLO_API TedDD : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The issuer's RUT; throws Error when absent.
  std::string RE() const { return Get("RE"); }
  /// Sets the issuer's RUT.
  TedDD& SetRE(std::string_view rut) {
    Set("RE", rut);
    return *this;
  }
  /// The TipoDTE; throws Error when absent or not a code of the form.
  typename Forma::Tipo TD() const { return ParseTipoDTE<typename Forma::Tipo>(Get("TD")); }
  /// Sets the TipoDTE.
  TedDD& SetTD(typename Forma::Tipo tipo) {
    Set("TD", TipoDTEText(tipo));
    return *this;
  }
  /// The folio; throws Error when absent.
  BindingInteger F() const { return GetInteger("F"); }
  /// Sets the folio.
  TedDD& SetF(const BindingInteger& folio) {
    Set("F", folio);
    return *this;
  }
  /// The issue date; throws Error when absent.
  BindingDateTime FE() const { return GetDateTime("FE"); }
  /// Sets the issue date (a date).
  TedDD& SetFE(const BindingDateTime& fecha) {
    Set("FE", fecha);
    return *this;
  }
  /// The receiver's RUT; throws Error when absent.
  std::string RR() const { return Get("RR"); }
  /// Sets the receiver's RUT.
  TedDD& SetRR(std::string_view rut) {
    Set("RR", rut);
    return *this;
  }
  /// The receiver's name (up to 40 characters); throws Error when absent.
  std::string RSR() const { return Get("RSR"); }
  /// Sets the receiver's name.
  TedDD& SetRSR(std::string_view nombre) {
    Set("RSR", nombre);
    return *this;
  }
  /// The total amount; throws Error when absent.
  typename Forma::Monto MNT() const {
    return detail::GetMonto<typename Forma::Monto>(*this, "MNT");
  }
  /// Sets the total amount.
  TedDD& SetMNT(const typename Forma::Monto& monto) {
    Set("MNT", monto);
    return *this;
  }
  /// The first item's name (up to 40 characters); throws Error when absent.
  std::string IT1() const { return Get("IT1"); }
  /// Sets the first item's name.
  TedDD& SetIT1(std::string_view item) {
    Set("IT1", item);
    return *this;
  }
  /// CAF; throws Error when absent.
  std::shared_ptr<TedCAF<Forma>> CAF() const { return Child<TedCAF<Forma>>("CAF"); }
  /// The stamp's date-time; throws Error when absent.
  BindingDateTime TSTED() const { return GetDateTime("TSTED"); }
  /// Sets the stamp's date-time (a date-time).
  TedDD& SetTSTED(const BindingDateTime& momento) {
    Set("TSTED", momento);
    return *this;
  }
};

/// TED: the electronic stamp.
template <class Forma>
class QUARLO_API TedDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The version attribute; throws Error when absent.
  std::string Version() const { return Get("@version"); }
  /// Sets the version attribute (fixed by the schema to 1.0).
  TedDte& SetVersion(std::string_view version) {
    SetAttribute("version", version);
    return *this;
  }
  /// DD; throws Error when absent.
  std::shared_ptr<TedDD<Forma>> DD() const { return Child<TedDD<Forma>>("DD"); }
  /// FRMT; throws Error when absent.
  std::shared_ptr<FirmaTimbre> FRMT() const { return Child<FirmaTimbre>("FRMT"); }
};

/// A DTE form (Documento, Liquidacion, Exportaciones) or the boleta's Documento.
template <class Forma>
class QUARLO_API FormaDte : public BindingElement {
 public:
  using BindingElement::BindingElement;
  /// The ID attribute; throws Error when absent.
  std::string ID() const { return Get("@ID"); }
  /// Sets the ID attribute (an XML name: "F33T1523", "ID_1").
  FormaDte& SetID(std::string_view id) {
    SetAttribute("ID", id);
    return *this;
  }
  /// Encabezado; throws Error when absent.
  std::shared_ptr<EncabezadoDte<Forma>> Encabezado() const {
    return Child<EncabezadoDte<Forma>>("Encabezado");
  }
  /// The detail lines in document order (empty when there are none).
  std::vector<std::shared_ptr<DetalleDte>> Detalles() const {
    return ChildrenAt<DetalleDte>("Detalle");
  }
  /// Detail line `item`, 1 for the first; throws Error when there is no such line.
  std::shared_ptr<DetalleDte> Detalle(std::size_t item) const {
    return ItemAt<DetalleDte>("Detalle", item);
  }
  /// A new detail line after the existing ones; throws Error beyond the schema's maximum.
  std::shared_ptr<DetalleDte> AgregarDetalle() { return AppendChild<DetalleDte>("Detalle"); }
  /// A new Referencia after the existing ones (it goes after the detail lines whatever the order
  /// of the calls); throws Error beyond the schema's maximum.
  std::shared_ptr<BindingElement> AgregarReferencia() {
    return AppendChild<BindingElement>("Referencia");
  }
  /// TED; throws Error when absent.
  std::shared_ptr<TedDte<Forma>> TED() const { return Child<TedDte<Forma>>("TED"); }
  /// The signature date-time; throws Error when absent.
  BindingDateTime TmstFirma() const { return GetDateTime("TmstFirma"); }
  /// Sets the signature date-time (a date-time).
  FormaDte& SetTmstFirma(const BindingDateTime& momento) {
    Set("TmstFirma", momento);
    return *this;
  }
};

using DocumentoDte = FormaDte<FormaDocumento>;
using LiquidacionDte = FormaDte<FormaLiquidacion>;
using ExportacionesDte = FormaDte<FormaExportaciones>;
using DocumentoBoleta = FormaDte<FormaBoleta>;

/// Custom fields that travel beside a DTE or boleta but are not part of the SII schemas: a
/// free-form Personalizados element whose children may have any name, attributes, text and
/// children of their own. Paths create missing elements at the end, in the order of the calls.
/// Attached to a document binding it is never written inside the DTE; it serialises on its own.
class QUARLO_API Personalizados : public BindingDocument {
 public:
  /// An empty Personalizados element in no namespace.
  Personalizados();
};

/// A DTE of DTE_v10.xsd: the root with its version and one of the forms Documento, Liquidacion or
/// Exportaciones.
class QUARLO_API DteDocumentBinding : public BindingDocument {
 public:
  /// An empty DTE: version 1.0 and no form yet.
  DteDocumentBinding();

  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const;
  /// Sets the version attribute (fixed by the schema to 1.0, so "1" and "1.0" are accepted).
  DteDocumentBinding& SetVersion(const BindingDecimal& version);

  /// The Documento form, or nullptr when the DTE holds another form or none.
  std::shared_ptr<DocumentoDte> Documento() const;
  /// The Liquidacion form, or nullptr.
  std::shared_ptr<LiquidacionDte> Liquidacion() const;
  /// The Exportaciones form, or nullptr.
  std::shared_ptr<ExportacionesDte> Exportaciones() const;
  /// A new Documento form with its mandatory parts, replacing any form held before.
  std::shared_ptr<DocumentoDte> CrearDocumento();
  /// A new Liquidacion form, replacing any form held before.
  std::shared_ptr<LiquidacionDte> CrearLiquidacion();
  /// A new Exportaciones form, replacing any form held before.
  std::shared_ptr<ExportacionesDte> CrearExportaciones();

  /// The custom fields attached to the document, or nullptr.
  std::shared_ptr<QuarloCliente::Personalizados> Personalizados() const { return personalizados_; }
  /// Attaches custom fields (nullptr detaches them).
  void SetPersonalizados(std::shared_ptr<QuarloCliente::Personalizados> personalizados) {
    personalizados_ = std::move(personalizados);
  }

 private:
  std::shared_ptr<QuarloCliente::Personalizados> personalizados_;
};

/// The DTE of a boleta (BOLETADefType of EnvioBOLETA_v11.xsd): its only form is Documento.
class QUARLO_API BoletaDocumentBinding : public BindingDocument {
 public:
  /// An empty boleta: version 1.0 and a Documento with its mandatory parts.
  BoletaDocumentBinding();

  /// The version attribute; throws Error when absent.
  BindingDecimal Version() const;
  /// Sets the version attribute (fixed by the schema to 1.0).
  BoletaDocumentBinding& SetVersion(const BindingDecimal& version);
  /// The Documento; throws Error when absent (a loaded boleta without one).
  std::shared_ptr<DocumentoBoleta> Documento() const;

  /// The custom fields attached to the boleta, or nullptr.
  std::shared_ptr<QuarloCliente::Personalizados> Personalizados() const { return personalizados_; }
  /// Attaches custom fields (nullptr detaches them).
  void SetPersonalizados(std::shared_ptr<QuarloCliente::Personalizados> personalizados) {
    personalizados_ = std::move(personalizados);
  }

 private:
  std::shared_ptr<QuarloCliente::Personalizados> personalizados_;
};

}  // namespace QuarloCliente
