#include "sii_schemas.hpp"

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#ifndef QUARLO_SII_SCHEMAS_DIR
#error "QUARLO_SII_SCHEMAS_DIR must name the SII schema folder"
#endif
#ifndef QUARLO_TEST_DATA_DIR
#error "QUARLO_TEST_DATA_DIR must name tests/data"
#endif

namespace QuarloCliente::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSiiDteNamespace = "http://www.sii.cl/SiiDte";
constexpr std::string_view kXmlDsigNamespace = "http://www.w3.org/2000/09/xmldsig#";

// libxml2 rejects decimal facets beyond 24 digits; this one has 34. 24 digits still leave every
// amount the SII accepts in practice far below the bound.
constexpr std::string_view kLceMaxInclusive = R"(value="999999999999999999999999999999.9999")";
constexpr std::string_view kLceMaxInclusiveShort = R"(value="99999999999999999999.9999")";
constexpr std::string_view kLceTypesFile = "LceSiiTypes_v10.xsd";

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct NodeFree {
  void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
struct SchemaParserFree {
  void operator()(xmlSchemaParserCtxt* ctxt) const { xmlSchemaFreeParserCtxt(ctxt); }
};
struct SchemaFree {
  void operator()(xmlSchema* schema) const { xmlSchemaFree(schema); }
};
struct SchemaValidFree {
  void operator()(xmlSchemaValidCtxt* ctxt) const { xmlSchemaFreeValidCtxt(ctxt); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;
using NodePtr = std::unique_ptr<xmlNode, NodeFree>;
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharFree>;

const xmlChar* X(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

std::string ToString(const xmlChar* text) {
  return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

std::string Location(const xmlError& error) {
  const std::string line = std::to_string(error.line);
  return error.file != nullptr ? fs::path(error.file).filename().string() + ":" + line
                               : "line " + line;
}

// libxml2 2.12 made the error parameter const; a generic lambda converts to either signature.
const xmlStructuredErrorFunc kCollectError = [](void* sink, auto* error) {
  if (sink == nullptr || error == nullptr) return;
  std::string message = error->message != nullptr ? error->message : "unknown libxml2 error\n";
  if (message.empty() || message.back() != '\n') message += '\n';
  *static_cast<std::string*>(sink) += Location(*error) + ": " + message;
};

// Parser errors of xmlReadMemory/xmlReadFile only reach the thread's global handler in this
// libxml2 version, so it is borrowed for the duration of one call and given back.
class ScopedErrorSink {
 public:
  explicit ScopedErrorSink(std::string& sink)
      : previous_handler_(xmlStructuredError), previous_context_(xmlStructuredErrorContext) {
    xmlSetStructuredErrorFunc(&sink, kCollectError);
  }
  ~ScopedErrorSink() { xmlSetStructuredErrorFunc(previous_context_, previous_handler_); }
  ScopedErrorSink(const ScopedErrorSink&) = delete;
  ScopedErrorSink& operator=(const ScopedErrorSink&) = delete;

 private:
  xmlStructuredErrorFunc previous_handler_;
  void* previous_context_;
};

void InitLibxml() {
  static const bool initialised = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialised;
}

DocPtr ParseUtf8(std::string_view xml, std::string& errors) {
  InitLibxml();
  if (xml.size() > static_cast<std::size_t>(INT_MAX)) {
    errors += "document too large for libxml2\n";
    return nullptr;
  }
  ScopedErrorSink sink(errors);
  DocPtr doc(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8", XML_PARSE_NONET));
  if (doc == nullptr && errors.empty()) errors += "the text is not XML\n";
  return doc;
}

DocPtr ParseUtf8(std::string_view xml) {
  std::string ignored;
  return ParseUtf8(xml, ignored);
}

std::string Serialize(xmlDoc* doc) {
  xmlChar* raw = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(doc, &raw, &size, "UTF-8");
  const XmlCharPtr owned(raw);
  if (owned == nullptr || size <= 0) throw std::runtime_error("libxml2 could not serialise");
  return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size));
}

bool NameIs(const xmlNode* node, std::string_view name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE && ToString(node->name) == name;
}

xmlNode* FirstElementChild(xmlNode* parent) {
  for (xmlNode* child = parent != nullptr ? parent->children : nullptr; child != nullptr;
       child = child->next) {
    if (child->type == XML_ELEMENT_NODE) return child;
  }
  return nullptr;
}

// Namespaces are ignored on purpose: callers may use any prefix, and a Signature in the wrong
// namespace must be left for the validator to reject.
xmlNode* Child(xmlNode* parent, std::string_view name) {
  for (xmlNode* child = parent != nullptr ? parent->children : nullptr; child != nullptr;
       child = child->next) {
    if (NameIs(child, name)) return child;
  }
  return nullptr;
}

std::string Text(xmlNode* node) {
  if (node == nullptr) return "";
  const XmlCharPtr content(xmlNodeGetContent(node));
  return ToString(content.get());
}

xmlNode* AddElement(xmlNode* parent, xmlNs* ns, const char* name, const char* text = nullptr) {
  xmlNode* child = xmlNewTextChild(parent, ns, X(name), text != nullptr ? X(text) : nullptr);
  if (child == nullptr) throw std::runtime_error("libxml2 could not create an element");
  return child;
}

void SetAttribute(xmlNode* node, const char* name, const std::string& value) {
  if (xmlSetProp(node, X(name), X(value.c_str())) == nullptr) {
    throw std::runtime_error("libxml2 could not set an attribute");
  }
}

// Reuses a declaration already in scope (keeping the caller's prefix), else declares the
// namespace as the default one of `owner`.
xmlNs* NamespaceFor(xmlNode* in_scope, xmlNode* owner, std::string_view href) {
  const std::string uri(href);
  xmlNs* ns = xmlSearchNsByHref(in_scope->doc, in_scope, X(uri.c_str()));
  if (ns == nullptr) ns = xmlNewNs(owner, X(uri.c_str()), nullptr);
  if (ns == nullptr) throw std::runtime_error("libxml2 could not declare a namespace");
  return ns;
}

void AppendDummySignature(xmlDoc* doc, SignatureNamespace flavour) {
  xmlNode* root = xmlDocGetRootElement(doc);
  if (root == nullptr || Child(root, "Signature") != nullptr) return;

  NodePtr signature(xmlNewDocNode(doc, nullptr, X("Signature"), nullptr));
  if (signature == nullptr) throw std::runtime_error("libxml2 could not create an element");
  xmlNs* ns =
      NamespaceFor(root, signature.get(),
                   flavour == SignatureNamespace::SiiDte ? kSiiDteNamespace : kXmlDsigNamespace);
  xmlSetNs(signature.get(), ns);

  xmlNode* signed_info = AddElement(signature.get(), ns, "SignedInfo");
  SetAttribute(AddElement(signed_info, ns, "CanonicalizationMethod"), "Algorithm",
               "http://www.w3.org/TR/2001/REC-xml-c14n-20010315");
  SetAttribute(AddElement(signed_info, ns, "SignatureMethod"), "Algorithm",
               "http://www.w3.org/2000/09/xmldsig#rsa-sha1");
  xmlNode* reference = AddElement(signed_info, ns, "Reference");
  const XmlCharPtr id(xmlGetProp(FirstElementChild(root), X("ID")));
  SetAttribute(reference, "URI", id != nullptr ? "#" + ToString(id.get()) : std::string());
  SetAttribute(AddElement(reference, ns, "DigestMethod"), "Algorithm",
               "http://www.w3.org/2000/09/xmldsig#sha1");
  AddElement(reference, ns, "DigestValue", "pXcvFzt4zUcHjT4/FufUbkPwuoc=");
  AddElement(signature.get(), ns, "SignatureValue",
             "19pHPcFu7g8stkRx7iPSKR1CFBkbF8i7dT3U/tkQZE0uqSCdLj/jAkZiX9Vh0/AqrK+7KKLqRgtdeRN8Wt2N"
             "cEldd8N5le0MofBFLi/z6BQp+1Ev+ZB8KKnPlRJFARc9FxRXXohbk851tJYRgOJEwJ+OIUHgP1mkirDScGrD"
             "Q3Y=");
  xmlNode* key_info = AddElement(signature.get(), ns, "KeyInfo");
  xmlNode* rsa = AddElement(AddElement(key_info, ns, "KeyValue"), ns, "RSAKeyValue");
  AddElement(rsa, ns, "Modulus",
             "KlSN3qJ5WlnJ3QNXBo2PItfD/nhzL3YGXvFgWwD80jOFNkRgIqWlLSvn/kKyFotzwcSmiuzwvywdrysNlbVX"
             "VI2YmdvOlBKdiuhNTltPSEQN7VIXXKHE1OXK2gQbHavRD06s7M6ILYyo3L7iv+xtiKcMbwlStPZ9qTrvmj+v"
             "XTA=");
  AddElement(rsa, ns, "Exponent", "AQAB");
  AddElement(AddElement(key_info, ns, "X509Data"), ns, "X509Certificate",
             "JjsM0k1guZ7Mv4SBD7XtXMWxLSzdpBCrUPZN7ojgI8aUScfzqTzwxVpnXd8cg3Mth9ViVecLFQ2ebzz4Y7t/"
             "wc354JITnOeIBuL7q8cyvS0yLpZPqToQqOAVXmc6qWc3m/+0PQBLdu/YyLtghtN7KHN7hbRVAhug8gIQBi3a"
             "We1xCwYzzf6U+W7unK6xuSFMxoYxSxO+160fzBZNb5OsPQeUo05Xh9P2VpzBFxD/UFGxNlaFdZFZrpqdgjiB"
             "PNNc");

  if (xmlAddChild(root, signature.get()) == nullptr) {
    throw std::runtime_error("libxml2 could not append the signature");
  }
  (void)signature.release();
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// The originals stay untouched; a copy of the whole folder is needed because the schemas
// include and import one another by plain relative file names.
class PatchedSchemaCopy {
 public:
  explicit PatchedSchemaCopy(const fs::path& original) {
    std::string pattern = (fs::temp_directory_path() / "quarlo-sii-schemas-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    dir_ = pattern;
    try {
      for (const fs::directory_entry& entry : fs::directory_iterator(original)) {
        if (entry.is_regular_file()) fs::copy_file(entry.path(), dir_ / entry.path().filename());
      }
      const fs::path types = dir_ / kLceTypesFile;
      std::string content = ReadFile(types);
      if (const std::size_t at = content.find(kLceMaxInclusive); at != std::string::npos) {
        content.replace(at, kLceMaxInclusive.size(), kLceMaxInclusiveShort);
        WriteFile(types, content);
      }
    } catch (...) {
      Remove();
      throw;
    }
  }
  ~PatchedSchemaCopy() { Remove(); }
  PatchedSchemaCopy(const PatchedSchemaCopy&) = delete;
  PatchedSchemaCopy& operator=(const PatchedSchemaCopy&) = delete;

  const fs::path& dir() const { return dir_; }

 private:
  void Remove() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path dir_;
};

bool NeedsPatchedCopy(std::string_view schema_file) {
  return schema_file == "LibroCV_v10.xsd" || schema_file == "LceCal_v10.xsd" ||
         schema_file == "LceCoCertif_v10.xsd" || schema_file == kLceTypesFile;
}

SchemaResult Invalid(std::string errors) {
  if (errors.empty() || errors.back() != '\n') errors += '\n';
  return SchemaResult{false, std::move(errors)};
}

SchemaResult Validate(std::string_view xml_utf8, std::string_view schema_file) {
  const fs::path schema_path = SiiSchemaPath(schema_file);
  if (!fs::is_regular_file(schema_path)) {
    return Invalid("schema not found: " + schema_path.string());
  }

  std::string errors;
  InitLibxml();
  // Declared before the schema so that it outlives it: a compiled schema keeps pointers into
  // the document it was parsed from.
  DocPtr schema_doc;
  {
    ScopedErrorSink sink(errors);
    schema_doc.reset(xmlReadFile(schema_path.c_str(), nullptr, XML_PARSE_NONET));
  }
  if (schema_doc == nullptr) return Invalid(errors + "cannot read " + schema_path.string());
  const std::unique_ptr<xmlSchemaParserCtxt, SchemaParserFree> parser(
      xmlSchemaNewDocParserCtxt(schema_doc.get()));
  if (parser == nullptr) return Invalid("libxml2 could not create a schema parser");
  xmlSchemaSetParserStructuredErrors(parser.get(), kCollectError, &errors);
  const std::unique_ptr<xmlSchema, SchemaFree> schema(xmlSchemaParse(parser.get()));
  if (schema == nullptr) return Invalid(errors + schema_path.string() + " failed to compile");

  const DocPtr doc = ParseUtf8(xml_utf8, errors);
  if (doc == nullptr) return Invalid(errors);
  const std::unique_ptr<xmlSchemaValidCtxt, SchemaValidFree> validator(
      xmlSchemaNewValidCtxt(schema.get()));
  if (validator == nullptr) return Invalid("libxml2 could not create a schema validator");
  xmlSchemaSetValidStructuredErrors(validator.get(), kCollectError, &errors);
  const int outcome = xmlSchemaValidateDoc(validator.get(), doc.get());
  if (outcome != 0) {
    return Invalid(errors.empty() ? "libxml2 validation failed with code " + std::to_string(outcome)
                                  : errors);
  }
  return SchemaResult{true, errors};
}

}  // namespace

std::filesystem::path SiiSchemaFolder() {
  const fs::path dir = fs::path(QUARLO_SII_SCHEMAS_DIR).lexically_normal();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    throw std::runtime_error("SII schema folder not found: " + dir.string() +
                             " (the repository keeps the schemas in schemas/sii/)");
  }
  return dir;
}

std::string ReadTestData(std::string_view file_name) {
  return ReadFile(fs::path(QUARLO_TEST_DATA_DIR) / file_name);
}

std::filesystem::path SiiSchemaPath(std::string_view schema_file) {
  const fs::path dir = SiiSchemaFolder();
  if (!NeedsPatchedCopy(schema_file)) return dir / schema_file;
  static const PatchedSchemaCopy copy(dir);
  return copy.dir() / schema_file;
}

SchemaResult ValidateAgainstSii(std::string_view xml_utf8, std::string_view schema_file) {
  try {
    return Validate(xml_utf8, schema_file);
  } catch (const std::exception& e) {
    return Invalid(e.what());
  } catch (...) {
    return Invalid("unknown exception while validating");
  }
}

std::string InsertDummySignature(std::string_view xml, SignatureNamespace ns) {
  const DocPtr doc = ParseUtf8(xml);
  if (doc == nullptr) return std::string(xml);
  AppendDummySignature(doc.get(), ns);
  return Serialize(doc.get());
}

std::string WrapBoletaInEnvio(std::string_view dte_xml) {
  const DocPtr dte = ParseUtf8(dte_xml);
  if (dte == nullptr) return std::string(dte_xml);
  AppendDummySignature(dte.get(), SignatureNamespace::XmlDsig);
  xmlNode* dte_root = xmlDocGetRootElement(dte.get());
  xmlNode* encabezado = Child(Child(dte_root, "Documento"), "Encabezado");
  const std::string rut_emisor = Text(Child(Child(encabezado, "Emisor"), "RUTEmisor"));
  const std::string tipo_dte = Text(Child(Child(encabezado, "IdDoc"), "TipoDTE"));

  const DocPtr envio(xmlNewDoc(X("1.0")));
  if (envio == nullptr) throw std::runtime_error("libxml2 could not create a document");
  xmlNode* root = xmlNewDocNode(envio.get(), nullptr, X("EnvioBOLETA"), nullptr);
  if (root == nullptr) throw std::runtime_error("libxml2 could not create an element");
  xmlDocSetRootElement(envio.get(), root);
  xmlNs* ns = NamespaceFor(root, root, kSiiDteNamespace);
  xmlSetNs(root, ns);
  SetAttribute(root, "version", "1.0");

  xmlNode* set = AddElement(root, ns, "SetDTE");
  SetAttribute(set, "ID", "SetDoc");
  xmlNode* caratula = AddElement(set, ns, "Caratula");
  SetAttribute(caratula, "version", "1.0");
  // Taken from the boleta so that the envelope describes it; when missing they stay empty and the
  // validator names them instead of an invented value hiding the fault.
  AddElement(caratula, ns, "RutEmisor", rut_emisor.c_str());
  AddElement(caratula, ns, "RutEnvia", "13254876-5");
  AddElement(caratula, ns, "RutReceptor", "60803000-K");
  AddElement(caratula, ns, "FchResol", "2014-08-22");
  AddElement(caratula, ns, "NroResol", "80");
  AddElement(caratula, ns, "TmstFirmaEnv", "2024-05-02T23:59:00");
  xmlNode* subtotal = AddElement(caratula, ns, "SubTotDTE");
  AddElement(subtotal, ns, "TpoDTE", tipo_dte.c_str());
  AddElement(subtotal, ns, "NroDTE", "1");

  NodePtr copy(xmlDocCopyNode(dte_root, envio.get(), 1));
  if (copy == nullptr || xmlAddChild(set, copy.get()) == nullptr) {
    throw std::runtime_error("libxml2 could not copy the boleta into the envelope");
  }
  (void)copy.release();
  AppendDummySignature(envio.get(), SignatureNamespace::XmlDsig);
  return Serialize(envio.get());
}

PreparedDocument PrepareForValidation(std::string_view xml, SiiRoot root) {
  switch (root) {
    case SiiRoot::Dte:
      return {InsertDummySignature(xml), "DTE_v10.xsd"};
    case SiiRoot::Boleta:
      return {WrapBoletaInEnvio(xml), "EnvioBOLETA_v11.xsd"};
    case SiiRoot::ConsumoFolios:
      return {InsertDummySignature(xml), "ConsumoFolio_v10.xsd"};
    case SiiRoot::LibroCompraVenta:
      return {InsertDummySignature(xml), "LibroCV_v10.xsd"};
    case SiiRoot::LibroGuia:
      return {InsertDummySignature(xml), "LibroGuia_v10.xsd"};
    case SiiRoot::LibroBoleta:
      return {InsertDummySignature(xml, SignatureNamespace::SiiDte), "LibroBOLETA_v10.xsd"};
  }
  throw std::invalid_argument("unknown SiiRoot");
}

SchemaResult ValidateSiiDocument(std::string_view xml, SiiRoot root) {
  try {
    const PreparedDocument prepared = PrepareForValidation(xml, root);
    return ValidateAgainstSii(prepared.xml, prepared.schema_file);
  } catch (const std::exception& e) {
    return Invalid(e.what());
  } catch (...) {
    return Invalid("unknown exception while preparing the document");
  }
}

}  // namespace QuarloCliente::testing
