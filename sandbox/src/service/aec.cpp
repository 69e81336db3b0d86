#include "service/aec.hpp"

#include <quarlo/namespaces.hpp>

#include "protocol/xml_writer.hpp"

namespace QuarloSandbox {

namespace {

constexpr const char* kDeclaration =
    "Se declara bajo juramento que el cedente ha puesto a disposición del cesionario el o los "
    "documentos donde constan los recibos de las mercaderías entregadas o servicios prestados.";

void Party(XmlWriter& xml, const char* name, const std::string& rut, const std::string& razon,
           const std::string& address, const std::string& email) {
  xml.Open(name).Element("RUT", rut).Element("RazonSocial", razon);
  if (!address.empty()) xml.Element("Direccion", address);
  if (!email.empty()) xml.Element("eMail", email);
}

void WriteCession(XmlWriter& xml, const DocumentRow& d, const Cession& c, const std::string& id) {
  xml.Open("Cesion").Attribute("version", "1.0");
  xml.Open("DocumentoCesion").Attribute("ID", "Cesion" + id);
  xml.Element("SeqCesion", std::to_string(c.seq));
  xml.Open("IdDTE").Element("TipoDTE", d.key.tipo).Element("RUTEmisor", d.key.rut);
  xml.Element("RUTReceptor", d.receiverRut).Element("Folio", std::to_string(d.key.folio));
  xml.Element("FchEmis", d.issueDate).Element("MntTotal", d.total).Close("IdDTE");
  Party(xml, "Cedente", c.cedenteRut, c.cedenteName, c.cedenteAddress, c.cedenteEmail);
  xml.Open("RUTAutorizado").Element("RUT", c.cedenteRut).Element("Nombre", c.cedenteName);
  xml.Close("RUTAutorizado").Element("DeclaracionJurada", kDeclaration).Close("Cedente");
  Party(xml, "Cesionario", c.cesionarioRut, c.cesionarioName, "", c.cesionarioEmail);
  xml.Close("Cesionario");
  xml.Element("MontoCesion", c.amount);
  if (!c.dueDate.empty()) xml.Element("UltimoVencimiento", c.dueDate);
  xml.Element("TmstCesion", c.cededAt).Close("DocumentoCesion").Close("Cesion");
}

}  // namespace

std::string AecXml(const DocumentRow& d, const Cession& c) {
  const std::string id =
      "T" + d.key.tipo + "F" + std::to_string(d.key.folio) + "S" + std::to_string(c.seq);
  XmlWriter xml;
  xml.Open("AEC", QuarloCliente::SiiDteNamespace).Attribute("version", "1.0");
  xml.Open("DocumentoAEC").Attribute("ID", "AEC" + id);
  xml.Open("Caratula").Attribute("version", "1.0");
  xml.Element("RutCedente", c.cedenteRut).Element("RutCesionario", c.cesionarioRut);
  if (!c.cedenteEmail.empty()) xml.Element("MailContacto", c.cedenteEmail);
  xml.Element("TmstFirmaEnvio", c.cededAt).Close("Caratula");
  xml.Open("Cesiones");
  xml.Open("DTECedido").Attribute("version", "1.0");
  xml.Open("DocumentoDTECedido").Attribute("ID", "DTECedido" + id);
  xml.Raw(d.xml).Element("TmstFirma", c.cededAt).Close("DocumentoDTECedido").Close("DTECedido");
  WriteCession(xml, d, c, id);
  xml.Close("Cesiones").Close("DocumentoAEC").Close("AEC");
  return xml.Text();
}

}  // namespace QuarloSandbox
