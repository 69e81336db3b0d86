#pragma once

#include <optional>
#include <quarlo/binding_dte.hpp>
#include <string>

namespace QuarloCliente::detail {

// The eight values of a TED's DD, as texts.
struct TedValues {
  std::string re, td, f, fe, rr, rsr, mnt, it1;
};

// The message of the first DD value that does not match the DTE (in the fixed order RE, TD, F,
// FE, RR, RSR, MNT, IT1), or none; a DTE without a form counts as matching.
std::optional<std::string> TedMismatch(const DteDocumentBinding& dte, const TedValues& ted);
// The same for a boleta.
std::optional<std::string> TedMismatch(const BoletaDocumentBinding& boleta, const TedValues& ted);

}  // namespace QuarloCliente::detail
