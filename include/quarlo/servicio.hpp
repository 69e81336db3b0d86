#pragma once

#include <chrono>
#include <memory>
#include <quarlo/acciones.hpp>
#include <quarlo/binding.hpp>
#include <quarlo/busqueda.hpp>
#include <quarlo/consultas.hpp>
#include <quarlo/documentos.hpp>
#include <quarlo/error.hpp>
#include <quarlo/export.hpp>
#include <quarlo/libros.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/types.hpp>
#include <quarlo/xml_document.hpp>
#include <string>

namespace QuarloCliente {

namespace detail {
struct ServicioAccess;
}  // namespace detail

/// Time limits of every exchange with the service, so that a dead or stalled service can never
/// hang the caller. Seconds assign to them as well as milliseconds. A limit that runs out after
/// the connection was made fails the operation with TiempoAgotado; one that runs out before it
/// (the connect limit above all) with SinConexion, since nothing was sent.
struct QUARLO_API LimitesTransporte {
  /// Longest wait for the connection (TCP and TLS) to be established.
  std::chrono::milliseconds conexion{30000};
  /// The exchange is abandoned when less than one byte per second flows for this long. The stall
  /// is measured in whole seconds: a fraction is rounded up (300 ms acts as 1 s); 0 switches the
  /// check off. For a sub-second bound use plazoTotal.
  std::chrono::milliseconds estancamiento{60000};
  /// The whole exchange, from connecting to the answer's last byte, is abandoned after this long,
  /// to the millisecond; 0 sets no total limit.
  std::chrono::milliseconds plazoTotal{300000};
};

/// The library's operations object. One instance is used by one thread at a time; separate
/// instances may run on separate threads.
class QUARLO_API Servicio {
 public:
  /// Sets every public constant, runs the dependency checks; makes no network request.
  Servicio();
  ~Servicio();
  Servicio(Servicio&&) noexcept;
  Servicio& operator=(Servicio&&) noexcept;
  Servicio(const Servicio&) = delete;
  Servicio& operator=(const Servicio&) = delete;

  Integer TipoDTE_33 = 33;
  Integer TipoDTE_34 = 34;
  Integer TipoDTE_39 = 39;
  Integer TipoDTE_41 = 41;
  Integer TipoDTE_46 = 46;
  Integer TipoDTE_52 = 52;
  Integer TipoDTE_56 = 56;
  Integer TipoDTE_61 = 61;
  Integer TipoDTE_66 = 66;
  Integer TipoDTE_96 = 96;
  Integer TipoDTE_97 = 97;
  Integer TipoDTE_98 = 98;
  Integer TipoDTE_99 = 99;
  Integer TipoDTE_100 = 100;
  Integer TipoDTE_110 = 110;
  Integer TipoDTE_111 = 111;
  Integer TipoDTE_112 = 112;
  std::string TipoEnvio_Parcial = "PARCIAL";
  std::string TipoEnvio_Final = "FINAL";
  std::string TipoEnvio_Total = "TOTAL";
  std::string TipoEnvio_Ajuste = "AJUSTE";
  std::string TipoLibro_Mensual = "MENSUAL";
  std::string TipoLibro_Especial = "ESPECIAL";
  std::string TipoLibro_Rectifica = "RECTIFICA";
  std::string TipoOperacion_Compra = "COMPRA";
  std::string TipoOperacion_Venta = "VENTA";
  Integer TipoPDF417_Grafico = 2;
  Integer TipoPDF417_Fuente = 1;
  std::string Ambiente_Homologacion = "T";
  std::string Ambiente_Produccion = "P";
  std::string Grupo_Emitido = "E";
  std::string Grupo_Recibido = "R";
  std::string TipoRespuestaComercial_Aceptacion = "A";
  std::string TipoRespuestaComercial_Rechazo = "R";
  std::string TipoAccionRespuestaComercial_AceptaContenido = "4";
  std::string TipoAccionRespuestaComercial_Reclamocontenido = "1";
  std::string TipoAccionRespuestaComercial_ReciboMercaderiasServicios = "0";
  std::string TipoAccionRespuestaComercial_ReclamoParcialMercaderias = "2";
  std::string TipoAccionRespuestaComercial_ReclamoTotalMercaderias = "3";
  std::string TipoConsultaCesion_Deudor = "0";
  std::string TipoConsultaCesion_Cedente = "1";
  std::string TipoConsultaCesion_Cesionario = "2";
  /// Set to 0 at construction and by Configurar; the library never reads it.
  Integer QuarloVersion = 0;

  /// Stores the service's base URI (without a trailing "/") and the API key, unchanged, and sets
  /// QuarloVersion to 0. Later operations use the new values.
  void Configurar(const std::string& pApiUri, const std::string& pApiLlave);

  /// Replaces the connect and stall limits of this instance's exchanges (30 s and 60 s at first).
  void ConfigurarLimites(const LimitesTransporte& limites);

  /// True when the XML library can create and release a document.
  bool CheckXMLDependency();
  /// True when the ISO-8859-1/UTF-8 conversion the library uses works on a sample text.
  bool CheckADODBDependency();
  /// Runs both checks (always both) and returns true only when both pass.
  bool CheckDependencies();

  /// The Base64 text (standard alphabet, "=" padding, no line breaks) of arrData; "" when empty.
  std::string EncodeBase64(const Bytes& arrData);
  /// The bytes a Base64 text stands for; whitespace is skipped, any other character outside the
  /// alphabet throws Error.
  Bytes DecodeBase64(const std::string& text);
  /// The upper bound of the byte array held in ArrayName (its size minus one); -1 when ArrayName
  /// holds no array or an empty one.
  Long GetArrayLength(const Variant& ArrayName);
  /// Writes Data into the file, replacing any previous content; true when every byte was written.
  /// Never throws; a missing folder or a denied access gives false.
  bool EscribirFichero(const std::string& caminoFichero, const Bytes& Data);

  /// The text of the first element nodeName selects in xml ("//Result", "/DTE/Documento/...";
  /// names as written, namespaces ignored); "" when nothing is selected. Throws Error for an
  /// invalid path or a selected node that is not an element.
  std::string NodeValue(const XmlDocument& xml, const std::string& nodeName);
  /// xml with the text of the first element nodeName selects set to value; xml unchanged when
  /// nothing is selected or xml is not XML. Throws Error for an invalid path or a non-element.
  std::string ReplaceXmlValue(const std::string& xml, const std::string& nodeName,
                              const std::string& value);
  /// xml with the IdDoc Folio of its DTE form (Documento, then Exportaciones, then Liquidacion)
  /// set to value; "" when the root is not DTE or it has no such folio.
  std::string ReplaceFolio(const std::string& xml, const std::string& value);
  /// xml without the first element nodeName selects (and its subtree); xml unchanged, byte for
  /// byte, when nothing is selected. Throws Error for the root element, an invalid path or a
  /// non-element.
  std::string DeleteXmlValue(const std::string& xml, const std::string& nodeName);
  /// xml with an empty XML-Signature skeleton appended as the last child of the first element
  /// xpathParent selects; xml unchanged when nothing is selected.
  std::string InsertFakeSignatureNode(const std::string& xml, const std::string& xpathParent);

  // --- Emission: TED validation, DTE and boleta submission ---

  /// nullptr when the TED's eight DD values match the document (first form present: Documento,
  /// Exportaciones, Liquidacion; none present counts as matching); otherwise a result with
  /// Estado "1" and the first mismatch, or "Error validando el TED: " and the failure.
  std::shared_ptr<ResultadoEnviarDocumento> ValidarTEDParaDTE(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& TED);
  /// The same for a boleta's Documento.
  std::shared_ptr<ResultadoEnviarDocumento> ValidarTEDParaBoleta(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& TED);

  /// Submits a DTE (PDF417 with 5 columns, level 2, no TED, its own folio) and returns the stamped
  /// TED and barcode. The document keeps the placeholder TED the submission writes into it.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417);
  /// As EnviarDocumentoDTE; with AutoFoliado the service numbers the document (folio sent as 0).
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_AutoFoliado(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      bool AutoFoliado);
  /// As EnviarDocumentoDTE with the given PDF417 columns and error-correction level.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_PDF417(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417);
  /// As EnviarDocumentoDTE_PDF417 with automatic numbering when AutoFoliado is true.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_PDF417_AutoFoliado(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417, bool AutoFoliado);
  /// As EnviarDocumentoDTE with a ready TED, validated first and sent beside the document.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_TED(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      const std::string& TED);
  /// As EnviarDocumentoDTE_TED with automatic numbering when AutoFoliado is true.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_TED_AutoFoliado(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      const std::string& TED, bool AutoFoliado);
  /// As EnviarDocumentoDTE with the given PDF417 layout and a ready TED.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_PDF417_TED(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED);
  /// The full DTE submission: every other member reaches this one.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoDTE_PDF417_TED_AutoFoliado(
      const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED,
      bool AutoFoliado);

  /// Submits a boleta (PDF417 with 5 columns, level 2, no TED, its own folio).
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417);
  /// As EnviarDocumentoBoleta with automatic numbering when AutoFoliado is true.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_AutoFoliado(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      bool AutoFoliado);
  /// As EnviarDocumentoBoleta with a ready TED, validated first and sent beside the boleta.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_TED(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      const std::string& TED);
  /// As EnviarDocumentoBoleta_TED with automatic numbering when AutoFoliado is true.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_TED_AutoFoliado(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      const std::string& TED, bool AutoFoliado);
  /// As EnviarDocumentoBoleta with the given PDF417 columns and error-correction level.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_PDF417(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417);
  /// As EnviarDocumentoBoleta_PDF417 with automatic numbering when AutoFoliado is true.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_PDF417_AutoFoliado(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417, bool AutoFoliado);
  /// As EnviarDocumentoBoleta with the given PDF417 layout and a ready TED.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_PDF417_TED(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED);
  /// The full boleta submission: every other member reaches this one.
  std::shared_ptr<ResultadoEnviarDocumento> EnviarDocumentoBoleta_PDF417_TED_AutoFoliado(
      const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
      Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED,
      bool AutoFoliado);

  // --- Books, folio reports and CAF ---

  /// Submits a Consumo de Folios (Correlativo 1, SecEnvio 1) without its cover, which travels as
  /// request fields. The report keeps the placeholder cover written into it.
  std::shared_ptr<ResultadoEnviarLibro> EnviarConsumoFolio(
      const std::shared_ptr<ConsumoFoliosBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& fchInicio, const std::string& fchFinal);
  /// As EnviarConsumoFolio with the given Correlativo.
  std::shared_ptr<ResultadoEnviarLibro> EnviarConsumoFolio2(
      const std::shared_ptr<ConsumoFoliosBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& fchInicio, const std::string& fchFinal, Integer correlativo);
  /// As EnviarConsumoFolio with the given Correlativo and SecEnvio.
  std::shared_ptr<ResultadoEnviarLibro> EnviarConsumoFolio3(
      const std::shared_ptr<ConsumoFoliosBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& fchInicio, const std::string& fchFinal, Integer correlativo,
      Integer secEnvio);

  /// Submits a Libro de Compra/Venta without its cover and with an empty signature for the
  /// service to complete (FolioNotificacion 0, no CodAutRec).
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroCompraVenta(
      const std::shared_ptr<LibroCompraVentaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoOperacion,
      const std::string& tipoLibro, const std::string& tipoEnvio, Integer nroSegmento);
  /// As EnviarLibroCompraVenta with the given FolioNotificacion.
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroCompraVenta2(
      const std::shared_ptr<LibroCompraVentaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoOperacion,
      const std::string& tipoLibro, const std::string& tipoEnvio, Integer nroSegmento,
      Integer folioNotificacion);
  /// As EnviarLibroCompraVenta2 with the given CodAutRec.
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroCompraVenta3(
      const std::shared_ptr<LibroCompraVentaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoOperacion,
      const std::string& tipoLibro, const std::string& tipoEnvio, Integer nroSegmento,
      Integer folioNotificacion, const std::string& codAutRec);

  /// Submits a Libro de Guías with its own cover (TipoEnvio empty, NroSegmento 0).
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroGuia(
      const std::shared_ptr<LibroGuiaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoLibro,
      Integer folioNotificacion);
  /// As EnviarLibroGuia with the given TipoEnvio.
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroGuia2(
      const std::shared_ptr<LibroGuiaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoLibro,
      const std::string& tipoEnvio, Integer folioNotificacion);
  /// As EnviarLibroGuia2 with the given NroSegmento.
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroGuia3(
      const std::shared_ptr<LibroGuiaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoLibro,
      const std::string& tipoEnvio, Integer nroSegmento, Integer folioNotificacion);

  /// Submits a Libro de Boletas with its own cover (TipoEnvio empty, NroSegmento 0).
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroBoleta(
      const std::shared_ptr<LibroBoletaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoLibro,
      Integer folioNotificacion);
  /// As EnviarLibroBoleta with the given TipoEnvio.
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroBoleta2(
      const std::shared_ptr<LibroBoletaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoLibro,
      const std::string& tipoEnvio, Integer folioNotificacion);
  /// As EnviarLibroBoleta2 with the given NroSegmento.
  std::shared_ptr<ResultadoEnviarLibro> EnviarLibroBoleta3(
      const std::shared_ptr<LibroBoletaBinding>& Documento, const std::string& ambiente,
      const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
      const std::string& periodoTributario, const std::string& tipoLibro,
      const std::string& tipoEnvio, Integer nroSegmento, Integer folioNotificacion);

  /// Asks the service to generate the day's Consumo de Folios with the voided ranges given (none
  /// when rangosAnulados is null or empty); Estado and Descripcion are the service's own.
  std::shared_ptr<ResultadoServicio> GenerarConsumoFolio(
      const std::string& ambiente, const std::string& rut, Date fecha,
      const std::shared_ptr<ColeccionRangosAnulados>& rangosAnulados, bool autoConfirmar);
  /// Uploads the CAF file's bytes exactly as stored; a missing or empty file is a failure.
  std::shared_ptr<ResultadoServicio> EnviarCAF(const std::string& ambiente,
                                               const std::string& cafFilePath);

  // --- Queries and retrieval ---

  /// The fiscal status of a document; grupo is text ("E", "R"), or empty for none; any other
  /// kind of value is a failure.
  std::shared_ptr<ResultadoEstadoFiscal> EstadoFiscal(const std::string& ambiente,
                                                      const Variant& grupo, const std::string& rut,
                                                      const std::string& tipoDocumento,
                                                      const std::string& folio);
  /// The fiscal status of a month's book, addressed by its period code (e.g. 202403130).
  std::shared_ptr<ResultadoEstadoFiscal> EstadoFiscalLibro(const std::string& rutEmisor,
                                                           const std::string& tipoDte,
                                                           const std::string& ambiente,
                                                           const std::string& tipoLibro,
                                                           const BindingDateTime& periodo);
  /// The fiscal status of a day's Consumo de Folios.
  std::shared_ptr<ResultadoEstadoFiscal> EstadoFiscalConsumoFolios(const std::string& rutEmisor,
                                                                   const std::string& ambiente,
                                                                   Date fecha);
  /// A document's processing history, as the service's tracking XML.
  std::shared_ptr<ResultadoTrazas> ObtenerTracking(const std::string& ambiente,
                                                   const std::string& grupo, const std::string& rut,
                                                   const std::string& tipoDocumento,
                                                   const std::string& folio);
  /// A stored document's XML text.
  std::shared_ptr<ResultadoRecuperarXML> RecuperarXML(
      const std::string& ambiente, const std::string& grupo, const std::string& rut,
      const std::string& tipoDocumento, const std::string& folio, bool esParaDistribucion);
  /// A day's Consumo de Folios XML, addressed by issuer and date.
  std::shared_ptr<ResultadoRecuperarXML> RecuperarXMLConsumoFolios(const std::string& ambiente,
                                                                   const std::string& rutEmisor,
                                                                   Date fecha);
  /// A stored DTE or boleta loaded into its binding (Data holds a ResultadoDocDTE or a
  /// ResultadoDocBoleta).
  std::shared_ptr<ResultadoRecuperarDoc> RecuperarDocumento(
      const std::string& ambiente, const std::string& grupo, const std::string& rut,
      const std::string& tipoDocumento, const std::string& folio, bool esParaDistribucion = false);
  /// The acknowledgements of receipt the service holds for a document.
  std::shared_ptr<ResultadoRecuperarListACK> RecuperarListadoAcusesRecibo(
      const std::string& ambiente, const std::string& grupo, const std::string& rut,
      const std::string& tipoDocumento, const std::string& folio);
  /// A document's PDF, as Base64 text (GetDatosComoBytes gives the file's bytes).
  std::shared_ptr<ResultadoRecuperarPDF> RecuperarPDF(const std::string& ambiente,
                                                      const std::string& grupo,
                                                      const std::string& rut,
                                                      const std::string& tipoDocumento,
                                                      const std::string& folio);
  /// Asks the service to print a document on the named printer.
  std::shared_ptr<ResultadoImprimir> Imprimir(const std::string& rutEmisor,
                                              const std::string& folio, const std::string& tipoDte,
                                              const std::string& Impresora,
                                              const std::string& ambiente);
  /// Asks the service to confirm a document and reports its resulting state.
  std::shared_ptr<ResultadoConfirmacion> ConfirmarDocumento(const std::string& rutEmisor,
                                                            const std::string& folio,
                                                            const std::string& tipoDte,
                                                            const std::string& ambiente);

  // --- Lifecycle and commercial actions ---

  /// Voids a document; on success Estado holds the document's new status.
  std::shared_ptr<ResultadoServicio> AnularDocumento(const std::string& ambiente,
                                                     const std::string& rut,
                                                     const std::string& tipoDocumento,
                                                     const std::string& folio,
                                                     const std::string& Comentario);
  /// Lifts a document's void; on success Estado holds the document's new status.
  std::shared_ptr<ResultadoServicio> DesanularDocumento(const std::string& ambiente,
                                                        const std::string& rut,
                                                        const std::string& tipoDocumento,
                                                        const std::string& folio,
                                                        const std::string& Comentario);
  /// Deletes a document; Estado and Descripcion are the service's code and text, whatever they
  /// are.
  std::shared_ptr<ResultadoServicio> EliminarDocumento(const std::string& ambiente,
                                                       const std::string& rut,
                                                       const std::string& tipoDocumento,
                                                       const std::string& folio);
  /// Deletes a month's book, addressed by its period code.
  std::shared_ptr<ResultadoServicio> EliminarLibro(const std::string& ambiente,
                                                   const std::string& rutEmisor,
                                                   const std::string& tipoDte,
                                                   const std::string& tipoLibro,
                                                   const BindingDateTime& periodo);
  /// Sends a commercial response with the given action code.
  std::shared_ptr<ResultadoServicio> EnviarRespuestaComercialAccion(
      const std::string& ambiente, const std::string& rutProveedor,
      const std::string& tipoDocumento, const std::string& folio, const std::string& nombre,
      const std::string& telefono, const std::string& correo, const std::string& motivo,
      const std::string& tipoRespuestaComercial, const std::string& tipoAccionRespuestaComercial);
  /// Sends a commercial response: an acceptance acknowledges the goods or services, anything
  /// else claims their total lack (the instance's current action codes).
  std::shared_ptr<ResultadoServicio> EnviarRespuestaComercial(
      const std::string& ambiente, const std::string& rutProveedor,
      const std::string& tipoDocumento, const std::string& folio, const std::string& nombre,
      const std::string& telefono, const std::string& correo, const std::string& motivo,
      const std::string& tipoRespuestaComercial);
  /// A document's commercial status, with contact data, claim and (on request) the AEC XML.
  std::shared_ptr<ResultadoEstadoComercial> EstadoComercialDocumento(
      const std::string& ambiente, const std::string& grupo, const std::string& rut,
      const std::string& tipoDocumento, const std::string& folio, bool retornaXmlAEC);
  /// Asks the service to generate a cession (AEC). Unlike every other operation it throws Error
  /// on any failure; a refusal by the service is returned with its code and text.
  std::shared_ptr<ResultadoServicio> GenerarAec(const std::shared_ptr<GeneraAECRequest>& request);
  /// Deletes a factoring company by RUT; rut must hold text (a number is written in decimal, an
  /// empty or null value is refused).
  std::shared_ptr<ResultadoServicio> DeleteFactoring(const Variant& rut);
  /// The factoring companies the service knows.
  std::shared_ptr<ResultObtenerFactorings> ObtenerFactorings();
  /// Inserts or updates a factoring company, matched by RUT.
  std::shared_ptr<ResultadoServicio> UpsertFactoring(const std::shared_ptr<Fact>& facto);

  // --- Search and reconciliation ---

  /// One page of the documents a query matches, as ResumenDTE records.
  std::shared_ptr<ResultadosBusqueda> BuscarDocumentos(const std::string& ambiente,
                                                       const std::string& grupo,
                                                       const std::string& consulta, Integer pagina,
                                                       Integer tamannoPagina);
  /// The documents received in a date range, reconciled with the tax authority's records.
  std::shared_ptr<ResultadosBusqueda> ConciliarDocumentos(const std::string& ambiente,
                                                          const std::string& rutReceptor,
                                                          const std::string& fechaDesde,
                                                          const std::string& fechaHasta);
  /// The cessions of a date range, from the debtor's, assignor's or assignee's side.
  std::shared_ptr<ResultadosBusqueda> ConciliarCesiones(const std::string& ambiente,
                                                        const std::string& rutReceptor,
                                                        const std::string& fechaDesde,
                                                        const std::string& fechaHasta,
                                                        const std::string& tipoConsulta,
                                                        const std::string& plainSiiPassword);

 private:
  friend struct detail::ServicioAccess;
  // The service's address, the key, the limits and the connection, behind the interface.
  struct Estado;
  std::unique_ptr<Estado> estado_;
};

}  // namespace QuarloCliente
