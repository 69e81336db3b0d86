#pragma once

#include <quarlo/export.hpp>

// The envelopes in which signed documents travel between taxpayers: an EnvioDTE (EnvioDTE_v10.xsd)
// holds up to 2000 DTEs, an EnvioBOLETA (EnvioBOLETA_v11.xsd) up to 500 boletas, both under one
// SetDTE whose Caratula counts them per type. Reading one gives its cover and each document as a
// binding of its own, in envelope order, each with its Signature as read:
//
//   auto envio = LeerEnvioDte(texto);  // throws Error("DTE 2 de 3: ...") naming the fault
//   for (const auto& dte : envio->DTE)
//     std::cout << dte->Documento()->Encabezado()->IdDoc()->Folio().ToString() << '\n';
//
// The envelope's own Signature is not kept: it signs the SetDTE as the sender wrote it, which a
// reader cannot rebuild from the bindings.

#include <memory>
#include <quarlo/binding_context.hpp>
#include <quarlo/binding_dte.hpp>
#include <quarlo/binding_values.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace QuarloCliente {

/// One SubTotDTE of a cover: how many documents of one type the envelope says it holds.
struct QUARLO_API SubTotalDte {
  /// The TipoDTE code (33, 39, ...).
  Long TpoDTE = 0;
  /// The number of documents of that type.
  Long NroDTE = 0;
};

/// The Caratula of an envelope: who sends what to whom, under which resolution.
struct QUARLO_API CaratulaEnvio {
  /// The RUT of the documents' issuer ("76543210-3").
  std::string RutEmisor;
  /// The RUT of the person who signed the envelope.
  std::string RutEnvia;
  /// The RUT the envelope is addressed to.
  std::string RutReceptor;
  /// The date of the resolution that authorises the issuer.
  Date FchResol{};
  /// The number of that resolution (0 in the certification environment).
  Long NroResol = 0;
  /// When the envelope was signed (a date-time).
  BindingDateTime TmstFirmaEnv;
  /// The counts per type, in the order the cover gives them.
  std::vector<SubTotalDte> SubTotDTE;
};

/// An envelope as read: its SetDTE's ID, its cover and its documents in envelope order.
template <class Documento>
struct QUARLO_API EnvioBinding {
  /// The ID attribute of SetDTE, which the envelope's signature refers to.
  std::string ID;
  /// The cover.
  CaratulaEnvio Caratula;
  /// The documents, each loaded on its own with its Signature.
  std::vector<std::shared_ptr<Documento>> DTE;
};

/// An EnvioDTE: facturas, notas, guías, liquidaciones and export documents.
using EnvioDteBinding = EnvioBinding<DteDocumentBinding>;
/// An EnvioBOLETA: boletas (39) and boletas exentas (41).
using EnvioBoletaBinding = EnvioBinding<BoletaDocumentBinding>;

/// The EnvioDTE the text holds. Valid UTF-8 is read as such, other bytes in the encoding the
/// declaration names. Each DTE is loaded from its own subtree through the context (nullptr: strict
/// loading through a context of the library's own). Throws Error when the text is not XML or
/// declares entities, the root is not EnvioDTE, SetDTE or Caratula is missing or malformed, a DTE
/// is a boleta or fails to load ("DTE 2 de 3: ..."), there are more than 2000 DTEs, or the
/// SubTotDTE counts do not match the documents per type.
QUARLO_API std::shared_ptr<EnvioDteBinding> LeerEnvioDte(
    std::string_view texto, const std::shared_ptr<BindingContext>& contexto = nullptr);
/// The same, from the bytes of a file or a message.
QUARLO_API std::shared_ptr<EnvioDteBinding> LeerEnvioDte(
    const Bytes& bytes, const std::shared_ptr<BindingContext>& contexto = nullptr);

/// The EnvioBOLETA the text holds, read as LeerEnvioDte reads an EnvioDTE; throws Error as it
/// does, and for a document that is not a boleta (39 or 41) or more than 500 documents.
QUARLO_API std::shared_ptr<EnvioBoletaBinding> LeerEnvioBoleta(
    std::string_view texto, const std::shared_ptr<BindingContext>& contexto = nullptr);
/// The same, from the bytes of a file or a message.
QUARLO_API std::shared_ptr<EnvioBoletaBinding> LeerEnvioBoleta(
    const Bytes& bytes, const std::shared_ptr<BindingContext>& contexto = nullptr);

}  // namespace QuarloCliente
