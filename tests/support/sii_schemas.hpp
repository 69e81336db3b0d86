#pragma once

// Conformance checks of documents against the SII's published XML schemas, which the repository
// carries in schemas/sii/ (QUARLO_SII_SCHEMAS_DIR). A missing folder or file is a failure of the
// test that needs it, never a reason to skip: a check that quietly stops checking hides faults.

#include <filesystem>
#include <string>
#include <string_view>

namespace QuarloCliente::testing {

// The SII schema folder named at build time; throws std::runtime_error naming the path when that
// folder does not exist.
std::filesystem::path SiiSchemaFolder();

// The contents of one file of tests/data/; throws std::runtime_error when it cannot be read.
std::string ReadTestData(std::string_view file_name);

struct SchemaResult {
  bool valid = false;
  // Every message of the XML parser, the schema compiler and the validator, one per line and
  // prefixed with its location (normally none when the document is valid).
  std::string errors;
};

// Where a schema of the SII folder is read from: the folder itself, or, for the schemas libxml2
// cannot compile as published (LibroCV_v10.xsd and the Lce*.xsd it imports), a patched temporary
// copy of the whole folder made once per process and removed at exit. Throws std::runtime_error
// when the folder is absent or the copy cannot be made.
std::filesystem::path SiiSchemaPath(std::string_view schema_file);

// Validates `xml_utf8` (parsed as UTF-8 whatever its declaration says, without network access,
// DTD loading or entity substitution) against `schema_file`, a file name of the SII folder such
// as "DTE_v10.xsd". Every failure, including a missing folder or a text that is not XML, gives
// valid == false and a description in `errors`; nothing is thrown.
SchemaResult ValidateAgainstSii(std::string_view xml_utf8, std::string_view schema_file);

// The root elements the library hands over, each with what it needs before the SII schema
// accepts it.
enum class SiiRoot {
  Dte,               // DTE (Documento, Liquidacion or Exportaciones): needs ds:Signature.
  Boleta,            // DTE of a boleta: valid only inside a signed EnvioBOLETA.
  ConsumoFolios,     // needs ds:Signature.
  LibroCompraVenta,  // needs ds:Signature and the patched LibroCV schema.
  LibroGuia,         // needs ds:Signature.
  LibroBoleta,       // needs a Signature in the SiiDte namespace, not ds:Signature.
};

enum class SignatureNamespace {
  XmlDsig,  // http://www.w3.org/2000/09/xmldsig#, what every SII schema but one imports.
  SiiDte,   // http://www.sii.cl/SiiDte, the Signature that LibroBOLETA_v10.xsd declares itself.
};

// The text with a schema-valid dummy signature (SII restricted XML-DSig: c14n 20010315,
// rsa-sha1, one sha1 Reference to the ID of the root's first child element, RSA key value and
// X509 certificate, Base64 dummy values) appended as the last child of the root element. The
// text comes back unchanged when the root already has a Signature child in any namespace (so a
// misplaced one still fails validation), and when it is not XML (so validation reports why).
std::string InsertDummySignature(std::string_view xml,
                                 SignatureNamespace ns = SignatureNamespace::XmlDsig);

// A minimal EnvioBOLETA (signed SetDTE whose Caratula takes the emitter and document type from
// the DTE) holding `dte_xml`, signed first when it carries no signature; the text unchanged when
// it is not XML.
std::string WrapBoletaInEnvio(std::string_view dte_xml);

struct PreparedDocument {
  std::string xml;
  // File name in the SII folder, for ValidateAgainstSii.
  std::string schema_file;
};

// What a document with that root needs before validation (signatures, envelope) and the schema
// to validate it against.
PreparedDocument PrepareForValidation(std::string_view xml, SiiRoot root);

// PrepareForValidation followed by ValidateAgainstSii.
SchemaResult ValidateSiiDocument(std::string_view xml, SiiRoot root);

}  // namespace QuarloCliente::testing
