#include "service/incoming_document.hpp"

#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <quarlo/namespaces.hpp>

#include "binding/document_loading.hpp"
#include "protocol/payload.hpp"
#include "sandbox_error.hpp"
#include "service/sii_xml.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

namespace {

[[noreturn]] void Refuse(const std::string& description) {
  throw SandboxError(400, description);
}

xmlNode* FindForm(xmlNode* dte, DocumentKind kind) {
  if (kind == DocumentKind::Boleta) return ChildElement(dte, "Documento");
  for (const char* form : {"Documento", "Liquidacion", "Exportaciones"}) {
    if (xmlNode* found = ChildElement(dte, form)) return found;
  }
  return nullptr;
}

std::string Required(const xmlNode* form, std::string_view path) {
  if (ElementAt(form, path) == nullptr) {
    Refuse("el documento no tiene el elemento " + std::string(path));
  }
  return TextAt(form, path);
}

// Checked on the tree the sandbox holds, without writing it out and parsing it again.
template <class Binding>
void ValidateWith(const xmlNode* root, qd::BindingRootKind kind) {
  Binding binding;
  qd::LoadDocumentElement(binding, kind, root, StrictBindingContext()->Options());
  binding.Validate();
}

}  // namespace

IncomingDocument::IncomingDocument(const QuarloCliente::Bytes& content, DocumentKind kind)
    : kind_(kind), doc_(ParseDocumentBytes(content, "Content")) {
  xmlNode* root = xmlDocGetRootElement(doc_.get());
  if (qd::View(root->name) != "DTE") {
    Refuse("el elemento Content no contiene un DTE: su elemento raíz es " +
           std::string(qd::View(root->name)));
  }
  if (root->ns != nullptr && qd::View(root->ns->href) != QuarloCliente::SiiDteNamespace) {
    Refuse("el DTE está en el espacio de nombres " + std::string(qd::View(root->ns->href)) +
           ", no en el del SII");
  }
  AdoptSiiNamespace(root);
  form_ = FindForm(root, kind);
  if (form_ == nullptr) {
    Refuse(kind == DocumentKind::Boleta
               ? "la boleta no tiene el elemento Documento"
               : "el DTE no tiene ninguna de las formas Documento, Liquidacion o Exportaciones");
  }
  ReadFields();
}

void IncomingDocument::ReadFields() {
  fields_.form = std::string(qd::View(form_->name));
  fields_.rutEmisor = Required(form_, "Encabezado/Emisor/RUTEmisor");
  fields_.issuerName = kind_ == DocumentKind::Boleta
                           ? TextAt(form_, "Encabezado/Emisor/RznSocEmisor")
                           : TextAt(form_, "Encabezado/Emisor/RznSoc");
  fields_.tipo = Required(form_, "Encabezado/IdDoc/TipoDTE");
  fields_.folio = Required(form_, "Encabezado/IdDoc/Folio");
  fields_.fchEmis = Required(form_, "Encabezado/IdDoc/FchEmis");
  fields_.rutRecep = Required(form_, "Encabezado/Receptor/RUTRecep");
  fields_.rznSocRecep = TextAt(form_, "Encabezado/Receptor/RznSocRecep");
  fields_.mntTotal = Required(form_, "Encabezado/Totales/MntTotal");
  fields_.nmbItem = Required(form_, "Detalle/NmbItem");
}

void IncomingDocument::SetFolio(std::int64_t folio) {
  SetText(ElementAt(form_, "Encabezado/IdDoc/Folio"), std::to_string(folio));
  fields_.folio = std::to_string(folio);
}

void IncomingDocument::SetTed(const std::string& tedXml) {
  const auto ted = qd::ParseHeldXml(tedXml);
  xmlNode* tedRoot = ted ? xmlDocGetRootElement(ted.get()) : nullptr;
  if (tedRoot == nullptr) throw SandboxError(500, "el TED generado no es XML");
  xmlNode* copy = xmlDocCopyNode(tedRoot, doc_.get(), 1);
  if (copy == nullptr) throw SandboxError(500, "sin memoria para copiar el TED");
  if (xmlNode* old = ChildElement(form_, "TED")) {
    xmlReplaceNode(old, copy);
    xmlFreeNode(old);
  } else if (xmlNode* before = ChildElement(form_, "TmstFirma")) {
    xmlAddPrevSibling(before, copy);
  } else {
    xmlAddChild(form_, copy);
  }
  AdoptSiiNamespace(xmlDocGetRootElement(doc_.get()));
}

void IncomingDocument::Seal(const std::string& now) {
  xmlNode* stamp = ChildElement(form_, "TmstFirma");
  if (stamp == nullptr) {
    stamp = xmlNewChild(form_, form_->ns, qd::Xc("TmstFirma"), nullptr);
    if (stamp == nullptr) throw SandboxError(500, "sin memoria para TmstFirma");
  }
  SetText(stamp, now);
  const std::string id = "F" + fields_.folio + "T" + fields_.tipo;
  xmlSetProp(form_, qd::Xc("ID"), qd::Xc(id.c_str()));
}

void IncomingDocument::Validate() const {
  const xmlNode* root = xmlDocGetRootElement(doc_.get());
  try {
    if (kind_ == DocumentKind::Boleta) {
      ValidateWith<QuarloCliente::BoletaDocumentBinding>(root, qd::BindingRootKind::Boleta);
    } else {
      ValidateWith<QuarloCliente::DteDocumentBinding>(root, qd::BindingRootKind::Dte);
    }
  } catch (const QuarloCliente::Error& error) {
    Refuse(std::string("el documento no cumple el esquema del SII: ") + error.what());
  }
}

std::string IncomingDocument::Xml() const {
  return ElementXml(xmlDocGetRootElement(doc_.get()));
}

std::shared_ptr<SubmittedDocument> ReadSubmittedDocument(const std::string& body,
                                                         DocumentKind kind) {
  RequestBody request(body, "SendDocumentRequest");
  IncomingDocument document(DecodeBase64Field(request.Field("Content"), "Content"), kind);
  return std::make_shared<SubmittedDocument>(
      SubmittedDocument{std::move(request), std::move(document)});
}

}  // namespace QuarloSandbox
