#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>

#include "core/fake_signature.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente {

namespace {

using detail::XmlDocumentAccess;

// Replaces an element's whole content by plain text; the text is stored as characters, so "&" or
// "<" in it stay characters rather than markup.
void SetElementText(xmlNode* element, std::string_view text) {
  xmlNodeSetContent(element, nullptr);
  xmlNodeAddContentLen(element, reinterpret_cast<const xmlChar*>(text.data()),
                       static_cast<int>(text.size()));
}

constexpr std::string_view kSignatureSkeleton =
    R"(<Signature xmlns="http://www.w3.org/2000/09/xmldsig#">)"
    "<SignedInfo>"
    R"(<CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315" />)"
    R"(<SignatureMethod Algorithm="http://www.w3.org/2000/09/xmldsig#rsa-sha1" />)"
    R"(<Reference URI="#LCV14c46c5f4730415ea2bab365fa9755e9">)"
    R"(<DigestMethod Algorithm="http://www.w3.org/2000/09/xmldsig#sha1" />)"
    "<DigestValue></DigestValue>"
    "</Reference>"
    "</SignedInfo>"
    "<SignatureValue></SignatureValue>"
    "<KeyInfo>"
    "<KeyValue>"
    "<RSAKeyValue>"
    "<Modulus></Modulus>"
    "<Exponent></Exponent>"
    "</RSAKeyValue>"
    "</KeyValue>"
    "<X509Data>"
    "<X509Certificate></X509Certificate>"
    "</X509Data>"
    "</KeyInfo>"
    "</Signature>";

}  // namespace

namespace detail {

std::string_view FakeSignatureXml() {
  // Serialised from the same skeleton InsertFakeSignatureNode copies, so the two never differ.
  static const std::string text =
      NodeXml(xmlDocGetRootElement(XmlDocumentAccess::Doc(XmlDocument::Parse(kSignatureSkeleton))));
  return text;
}

}  // namespace detail

std::string Servicio::NodeValue(const XmlDocument& xml, const std::string& nodeName) {
  const xmlNode* element = detail::SelectFirstElement(XmlDocumentAccess::Doc(xml), nodeName);
  return element == nullptr ? std::string() : detail::NodeText(element);
}

std::string Servicio::ReplaceXmlValue(const std::string& xml, const std::string& nodeName,
                                      const std::string& value) {
  const XmlDocument document = XmlDocument::Parse(xml);
  xmlNode* element = detail::SelectFirstElement(XmlDocumentAccess::Doc(document), nodeName);
  if (element == nullptr) return xml;
  SetElementText(element, value);
  return document.Xml();
}

std::string Servicio::ReplaceFolio(const std::string& xml, const std::string& value) {
  const XmlDocument document = XmlDocument::Parse(xml);
  for (const char* path :
       {"/DTE/Documento/Encabezado/IdDoc/Folio", "/DTE/Exportaciones/Encabezado/IdDoc/Folio",
        "/DTE/Liquidacion/Encabezado/IdDoc/Folio"}) {
    if (xmlNode* folio = detail::SelectFirstElement(XmlDocumentAccess::Doc(document), path)) {
      SetElementText(folio, value);
      return document.Xml();
    }
  }
  return {};
}

std::string Servicio::DeleteXmlValue(const std::string& xml, const std::string& nodeName) {
  const XmlDocument document = XmlDocument::Parse(xml);
  xmlNode* element = detail::SelectFirstElement(XmlDocumentAccess::Doc(document), nodeName);
  if (element == nullptr) return xml;
  if (element->parent == nullptr || element->parent->type != XML_ELEMENT_NODE) {
    throw Error("no se puede eliminar el elemento raíz del documento");
  }
  xmlUnlinkNode(element);
  xmlFreeNode(element);
  return document.Xml();
}

std::string Servicio::InsertFakeSignatureNode(const std::string& xml,
                                              const std::string& xpathParent) {
  const XmlDocument document = XmlDocument::Parse(xml);
  xmlDoc* doc = XmlDocumentAccess::Doc(document);
  xmlNode* parent = detail::SelectFirstElement(doc, xpathParent);
  if (parent == nullptr) return xml;
  const XmlDocument skeleton = XmlDocument::Parse(kSignatureSkeleton);
  xmlNode* signature =
      xmlDocCopyNode(xmlDocGetRootElement(XmlDocumentAccess::Doc(skeleton)), doc, 1);
  if (signature == nullptr || xmlAddChild(parent, signature) == nullptr) {
    xmlFreeNode(signature);
    throw Error("no se pudo insertar la firma en el documento");
  }
  return document.Xml();
}

}  // namespace QuarloCliente
