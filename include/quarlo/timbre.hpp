#pragma once

#include <memory>
#include <quarlo/binding_dte.hpp>
#include <quarlo/caf.hpp>
#include <quarlo/export.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente {

/// Stamps the DTE's form with the CAF: fills its TED from the document (RE, TD, F, FE, RR, RSR
/// and IT1 cut to 40 characters, MNT, the CAF, TSTED = momento), signs DD with the CAF's private
/// key (FRMT), sets TmstFirma = momento and returns the TED text the _TED submissions take.
/// Throws Error, leaving the document as it was, when the folio is outside the CAF's range, the
/// type or issuer is not the CAF's, the CAF has no private key or the document lacks a part.
QUARLO_API std::string TimbrarDte(DteDocumentBinding& documento, const ArchivoCaf& caf,
                                  const BindingDateTime& momento);
/// The same for a boleta.
QUARLO_API std::string TimbrarBoleta(BoletaDocumentBinding& documento, const ArchivoCaf& caf,
                                     const BindingDateTime& momento);

/// The outcome of checking a TED: Valido, or the first check that failed and why (Spanish).
struct QUARLO_API ResultadoVerificacionTimbre {
  bool Valido = false;
  std::string Motivo;
};

/// Checks a TED text: FRMT against the RSAPK of the CAF it carries and, when an authority public
/// key (PEM) is given, the CAF's FRMA against it. A DD written with line breaks and indentation
/// verifies as its compact form. Never throws.
QUARLO_API ResultadoVerificacionTimbre
VerificarTimbre(std::string_view ted, std::string_view clavePublicaAutoridadPem = {});
/// The same, and then that DD matches the DTE (the rules of ValidarTEDParaDTE).
QUARLO_API ResultadoVerificacionTimbre
VerificarTimbreDte(std::string_view ted, const DteDocumentBinding& documento,
                   std::string_view clavePublicaAutoridadPem = {});
/// The same, and then that DD matches the boleta (the rules of ValidarTEDParaBoleta).
QUARLO_API ResultadoVerificacionTimbre
VerificarTimbreBoleta(std::string_view ted, const BoletaDocumentBinding& documento,
                      std::string_view clavePublicaAutoridadPem = {});

}  // namespace QuarloCliente
