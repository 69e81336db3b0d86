#include <libxml/tree.h>

#include <map>
#include <memory>
#include <quarlo/binding_envio.hpp>
#include <quarlo/error.hpp>
#include <string>
#include <vector>

#include "binding/library_contexts.hpp"
#include "binding/value_check.hpp"
#include "core/document_bytes.hpp"
#include "core/numbers.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"

namespace QuarloCliente {

namespace {

using detail::View;

constexpr std::string_view kSiiDte = "http://www.sii.cl/SiiDte";

// What tells the two envelopes apart: their root, the most documents their schema admits, and
// whether those documents are boletas.
struct EnvelopeKind {
  std::string_view root;
  std::size_t max_documents;
  bool boletas;
};
constexpr EnvelopeKind kEnvioDte{"EnvioDTE", 2000, false};
constexpr EnvelopeKind kEnvioBoleta{"EnvioBOLETA", 500, true};

// The element's local name.
std::string NameOf(const xmlNode* node) {
  return std::string(View(node->name));
}

// The first child element of that local name, or nullptr (also for no parent at all, so that a
// path of lookups needs no check between its steps).
const xmlNode* ChildNamed(const xmlNode* parent, std::string_view name) {
  if (parent == nullptr) return nullptr;
  for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && View(child->name) == name) return child;
  }
  return nullptr;
}

// The trimmed text of the required child; throws Error when it is absent.
std::string RequiredText(const xmlNode* parent, std::string_view name) {
  const xmlNode* child = ChildNamed(parent, name);
  if (child == nullptr) {
    throw Error("falta el elemento " + std::string(name) + " en " + NameOf(parent));
  }
  return std::string(detail::TrimXmlSpace(detail::NodeText(child)));
}

// The required child's date or date-time of the given kind; throws Error when absent or invalid.
BindingDateTime RequiredDateTime(const xmlNode* parent, std::string_view name,
                                 BindingDateTimeKind kind) {
  const std::string text = RequiredText(parent, name);
  const auto value = BindingDateTime::TryParse(text, kind);
  if (!value) {
    throw Error(std::string(name) + ": '" + text + "' no es " +
                (kind == BindingDateTimeKind::XsDate ? "una fecha AAAA-MM-DD"
                                                     : "una fecha y hora AAAA-MM-DDTHH:MM:SS"));
  }
  return *value;
}

// The whole number of the required child, at least `least`; throws Error otherwise.
Long RequiredNumber(const xmlNode* parent, std::string_view name, Long least) {
  const Long value = detail::ReadLong(RequiredText(parent, name), name);
  if (value < least) {
    throw Error(std::string(name) + ": " + std::to_string(value) + " es menor que " +
                std::to_string(least));
  }
  return value;
}

// The cover's SubTotDTE counts, in their order.
std::vector<SubTotalDte> ReadSubTotals(const xmlNode* caratula) {
  std::vector<SubTotalDte> counts;
  for (const xmlNode* child = caratula->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || View(child->name) != "SubTotDTE") continue;
    counts.push_back({RequiredNumber(child, "TpoDTE", 1), RequiredNumber(child, "NroDTE", 1)});
  }
  return counts;
}

// The cover's values; a fault is reported as the cover's.
CaratulaEnvio ReadCaratula(const xmlNode* caratula) {
  try {
    CaratulaEnvio cover;
    cover.RutEmisor = RequiredText(caratula, "RutEmisor");
    cover.RutEnvia = RequiredText(caratula, "RutEnvia");
    cover.RutReceptor = RequiredText(caratula, "RutReceptor");
    cover.FchResol = RequiredDateTime(caratula, "FchResol", BindingDateTimeKind::XsDate).ToDate();
    cover.NroResol = RequiredNumber(caratula, "NroResol", 0);
    cover.TmstFirmaEnv =
        RequiredDateTime(caratula, "TmstFirmaEnv", BindingDateTimeKind::XsDateTime);
    cover.SubTotDTE = ReadSubTotals(caratula);
    return cover;
  } catch (const Error& error) {
    throw Error(std::string("Caratula: ") + error.what());
  }
}

// Throws Error unless the root is the envelope's, in the SII's namespace or in none.
void CheckRoot(const xmlNode* root, const EnvelopeKind& kind) {
  const std::string name = NameOf(root);
  if (name != kind.root) {
    throw Error("el documento no es un " + std::string(kind.root) + ": el elemento raíz es " +
                name);
  }
  // A root without namespace is left to the documents' own loading, which names the fault.
  if (root->ns != nullptr && View(root->ns->href) != kSiiDte) {
    throw Error("el elemento raíz " + name + " no está en el espacio de nombres " +
                std::string(kSiiDte) + " sino en " + std::string(View(root->ns->href)));
  }
}

// The DTE elements of SetDTE in order; throws Error for any other element but the Caratula, and
// for no documents or more than the envelope admits.
std::vector<const xmlNode*> DocumentsOf(const xmlNode* set, const EnvelopeKind& kind) {
  std::vector<const xmlNode*> documents;
  for (const xmlNode* child = set->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || View(child->name) == "Caratula") continue;
    if (View(child->name) != "DTE") throw Error("SetDTE no admite el elemento " + NameOf(child));
    documents.push_back(child);
  }
  if (documents.empty()) throw Error("el sobre no contiene ningún DTE");
  if (documents.size() > kind.max_documents) {
    throw Error("el sobre contiene " + std::to_string(documents.size()) + " DTE y un " +
                std::string(kind.root) + " admite como máximo " +
                std::to_string(kind.max_documents));
  }
  return documents;
}

// The TipoDTE a DTE states in its form's IdDoc (the form, Documento, Liquidacion or
// Exportaciones, is the DTE's first element); throws Error when it states none.
Long TipoOf(const xmlNode* dte) {
  const xmlNode* form = dte->children;
  while (form != nullptr && form->type != XML_ELEMENT_NODE) form = form->next;
  const xmlNode* tipo = ChildNamed(ChildNamed(ChildNamed(form, "Encabezado"), "IdDoc"), "TipoDTE");
  if (tipo == nullptr) throw Error("el documento no indica su TipoDTE");
  return detail::ReadLong(detail::NodeText(tipo), "TipoDTE");
}

// Throws Error when a document of that type does not travel in this kind of envelope.
void CheckBelongs(Long tipo, const EnvelopeKind& kind) {
  const bool boleta = tipo == 39 || tipo == 41;
  if (boleta == kind.boletas) return;
  throw Error("un documento de tipo " + std::to_string(tipo) +
              (boleta ? " es una boleta, que no va en un EnvioDTE sino en un EnvioBOLETA"
                      : " no es una boleta y no va en un EnvioBOLETA"));
}

// Throws Error unless every SubTotDTE matches its type's documents and every type held has one.
void CheckCounts(const std::vector<SubTotalDte>& declared, std::map<Long, Long> found) {
  std::map<Long, Long> stated;
  for (const SubTotalDte& count : declared) {
    if (!stated.emplace(count.TpoDTE, count.NroDTE).second) {
      throw Error("la carátula repite el SubTotDTE del tipo " + std::to_string(count.TpoDTE));
    }
  }
  for (const auto& [tipo, number] : stated) {
    const Long held = found[tipo];
    if (held != number) {
      throw Error("la carátula declara " + std::to_string(number) + " DTE de tipo " +
                  std::to_string(tipo) + " y el sobre contiene " + std::to_string(held));
    }
  }
  for (const auto& [tipo, number] : found) {
    if (stated.count(tipo) == 0) {
      throw Error("el sobre contiene " + std::to_string(number) + " DTE de tipo " +
                  std::to_string(tipo) + " que la carátula no declara");
    }
  }
}

// Each document loaded from its own subtree, whose outer XML carries the namespaces in scope;
// a fault is reported with the document's place in the envelope.
template <class Documento>
std::vector<std::shared_ptr<Documento>> LoadDocuments(
    const std::vector<const xmlNode*>& dtes, const EnvelopeKind& kind,
    const std::shared_ptr<BindingContext>& context, std::map<Long, Long>& found) {
  std::vector<std::shared_ptr<Documento>> documents;
  documents.reserve(dtes.size());
  for (std::size_t i = 0; i < dtes.size(); ++i) {
    try {
      const Long tipo = TipoOf(dtes[i]);
      CheckBelongs(tipo, kind);
      ++found[tipo];
      auto document = std::make_shared<Documento>();
      document->Load(detail::OuterXml(dtes[i]), context);
      documents.push_back(std::move(document));
    } catch (const Error& error) {
      throw Error("DTE " + std::to_string(i + 1) + " de " + std::to_string(dtes.size()) + ": " +
                  error.what());
    }
  }
  return documents;
}

// The envelope the bytes hold, its documents loaded through the context.
template <class Documento>
std::shared_ptr<EnvioBinding<Documento>> ReadEnvelope(
    std::string_view bytes, const EnvelopeKind& kind,
    const std::shared_ptr<BindingContext>& context) {
  const std::string text = detail::DocumentBytesToUtf8(bytes);
  const detail::XmlDocPtr doc = detail::ParseHeldXml(text);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr) throw Error("el texto no es un documento XML bien formado");
  CheckRoot(root, kind);
  const xmlNode* set = ChildNamed(root, "SetDTE");
  if (set == nullptr) throw Error("falta el elemento SetDTE en " + NameOf(root));
  const xmlNode* caratula = ChildNamed(set, "Caratula");
  if (caratula == nullptr) throw Error("falta el elemento Caratula en SetDTE");
  auto envio = std::make_shared<EnvioBinding<Documento>>();
  const detail::XmlCharPtr id(xmlGetProp(set, detail::Xc("ID")));
  if (!id) throw Error("SetDTE no tiene el atributo ID");
  envio->ID = std::string(View(id.get()));
  envio->Caratula = ReadCaratula(caratula);
  std::map<Long, Long> found;
  envio->DTE = LoadDocuments<Documento>(DocumentsOf(set, kind), kind,
                                        context ? context : detail::StrictLoadingContext(), found);
  CheckCounts(envio->Caratula.SubTotDTE, std::move(found));
  return envio;
}

// The bytes seen as text, without a copy.
std::string_view AsText(const Bytes& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

std::shared_ptr<EnvioDteBinding> LeerEnvioDte(std::string_view texto,
                                              const std::shared_ptr<BindingContext>& contexto) {
  return ReadEnvelope<DteDocumentBinding>(texto, kEnvioDte, contexto);
}

std::shared_ptr<EnvioDteBinding> LeerEnvioDte(const Bytes& bytes,
                                              const std::shared_ptr<BindingContext>& contexto) {
  return ReadEnvelope<DteDocumentBinding>(AsText(bytes), kEnvioDte, contexto);
}

std::shared_ptr<EnvioBoletaBinding> LeerEnvioBoleta(
    std::string_view texto, const std::shared_ptr<BindingContext>& contexto) {
  return ReadEnvelope<BoletaDocumentBinding>(texto, kEnvioBoleta, contexto);
}

std::shared_ptr<EnvioBoletaBinding> LeerEnvioBoleta(
    const Bytes& bytes, const std::shared_ptr<BindingContext>& contexto) {
  return ReadEnvelope<BoletaDocumentBinding>(AsText(bytes), kEnvioBoleta, contexto);
}

}  // namespace QuarloCliente
