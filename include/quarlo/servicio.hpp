#pragma once

#include <chrono>
#include <memory>
#include <quarlo/error.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/types.hpp>
#include <quarlo/xml_document.hpp>
#include <string>

namespace QuarloCliente {

namespace detail {
class Transport;
struct ServicioAccess;
}  // namespace detail

// Time limits of every exchange with the service, so that a dead or stalled service can never
// hang the caller.
struct LimitesTransporte {
  // Longest wait for the connection (TCP and TLS) to be established.
  std::chrono::milliseconds conexion{30000};
  // The exchange is abandoned when less than one byte per second flows for this long.
  std::chrono::seconds estancamiento{60};
};

// The library's operations object. One instance is used by one thread at a time; separate
// instances may run on separate threads.
class Servicio {
 public:
  // Sets every public constant, runs the dependency checks; makes no network request.
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
  // Set to 0 at construction and by Configurar; the library never reads it.
  Integer QuarloVersion = 0;

  // Stores the service's base URI (without a trailing "/") and the API key, unchanged, and sets
  // QuarloVersion to 0. Later operations use the new values.
  void Configurar(const std::string& pApiUri, const std::string& pApiLlave);

  // Replaces the connect and stall limits of this instance's exchanges (30 s and 60 s at first).
  void ConfigurarLimites(const LimitesTransporte& limites);

  // True when the XML library can create and release a document.
  bool CheckXMLDependency();
  // True when the ISO-8859-1/UTF-8 conversion the library uses works on a sample text.
  bool CheckADODBDependency();
  // Runs both checks (always both) and returns true only when both pass.
  bool CheckDependencies();

  // The Base64 text (standard alphabet, "=" padding, no line breaks) of arrData; "" when empty.
  std::string EncodeBase64(const Bytes& arrData);
  // The bytes a Base64 text stands for; whitespace is skipped, any other character outside the
  // alphabet throws Error.
  Bytes DecodeBase64(const std::string& text);
  // The upper bound of the byte array held in ArrayName (its size minus one); -1 when ArrayName
  // holds no array or an empty one.
  Long GetArrayLength(const Variant& ArrayName);
  // Writes Data into the file, replacing any previous content; true when every byte was written.
  // Never throws; a missing folder or a denied access gives false.
  bool EscribirFichero(const std::string& caminoFichero, const Bytes& Data);

  // The text of the first element nodeName selects in xml ("//Result", "/DTE/Documento/...";
  // names as written, namespaces ignored); "" when nothing is selected. Throws Error for an
  // invalid path or a selected node that is not an element.
  std::string NodeValue(const XmlDocument& xml, const std::string& nodeName);
  // xml with the text of the first element nodeName selects set to value; xml unchanged when
  // nothing is selected or xml is not XML. Throws Error for an invalid path or a non-element.
  std::string ReplaceXmlValue(const std::string& xml, const std::string& nodeName,
                              const std::string& value);
  // xml with the IdDoc Folio of its DTE form (Documento, then Exportaciones, then Liquidacion)
  // set to value; "" when the root is not DTE or it has no such folio.
  std::string ReplaceFolio(const std::string& xml, const std::string& value);
  // xml without the first element nodeName selects (and its subtree); xml unchanged, byte for
  // byte, when nothing is selected. Throws Error for the root element, an invalid path or a
  // non-element.
  std::string DeleteXmlValue(const std::string& xml, const std::string& nodeName);
  // xml with an empty XML-Signature skeleton appended as the last child of the first element
  // xpathParent selects; xml unchanged when nothing is selected.
  std::string InsertFakeSignatureNode(const std::string& xml, const std::string& xpathParent);

 private:
  friend struct detail::ServicioAccess;

  // The response body re-serialised as XML text, or "" when it is not XML; throws Error when the
  // exchange itself fails (URL, connection, TLS, time-out).
  std::string HttpGet(const std::string& url);
  std::string HttpPost(const std::string& url, const std::string& body);

  // The serialised binding text without the "ABCXYZ" prefix markers, the SII default-namespace
  // declaration where other attributes follow it, and the binding's banner comments.
  std::string CleanBindingXml(const std::string& xml);
  // The same, keeping every SII default-namespace declaration.
  std::string CleanBindingXmlKeepNamespace(const std::string& xml);

  Bytes TextToBytes(const std::string& text, const std::string& charset);
  std::string BytesToText(const Bytes& bytes, const std::string& charset);
  Bytes TextToIsoBytes(const std::string& text);
  std::string IsoBytesToText(const Bytes& bytes);

  std::string ApiUri;
  std::string ApiLlave;
  LimitesTransporte limites_;
  std::unique_ptr<detail::Transport> transport_;
};

}  // namespace QuarloCliente
