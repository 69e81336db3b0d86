#include "service/stamping.hpp"

#include <cctype>
#include <quarlo/binding_values.hpp>

#include "core/selector.hpp"
#include "core/xml.hpp"
#include "sandbox_error.hpp"
#include "service/ted.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

namespace {

constexpr std::size_t kTedTextLength = 40;

[[noreturn]] void Mismatch(const std::string& what) {
  throw SandboxError(422, "el TED enviado no corresponde al documento: " + what);
}

bool SameNumber(const std::string& a, const std::string& b) {
  const auto x = QuarloCliente::BindingDecimal::TryParse(a);
  const auto y = QuarloCliente::BindingDecimal::TryParse(b);
  return x && y && *x == *y;
}

bool BeginsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string CafModulus(const std::string& tedXml) {
  const auto doc = qd::ParseHeldXml(tedXml);
  const xmlNode* modulus = doc ? qd::SelectFirstElement(doc.get(), "//RSAPK/M") : nullptr;
  if (modulus == nullptr) Mismatch("su CAF no tiene la clave RSAPK/M");
  return WithoutWhitespace(qd::NodeText(modulus));
}

}  // namespace

std::string WithoutWhitespace(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) out.push_back(c);
  }
  return out;
}

std::string FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t taken = 0; end < text.size() && taken < count; ++taken) {
    ++end;
    // Continuation bytes belong to the character just taken.
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(text.substr(0, end));
}

std::string StampFor(const DocumentFields& fields, const SigningCaf& caf, const std::string& now) {
  TedFields ted;
  ted.re = fields.rutEmisor;
  ted.td = fields.tipo;
  ted.f = fields.folio;
  ted.fe = fields.fchEmis;
  ted.rr = fields.rutRecep;
  ted.rsr = FirstCharacters(fields.rznSocRecep, kTedTextLength);
  ted.mnt = fields.mntTotal;
  ted.it1 = FirstCharacters(fields.nmbItem, kTedTextLength);
  ted.tsted = now;
  return StampTed(ted, caf);
}

CallerTed CheckCallerTed(const std::string& tedXml, const DocumentFields& fields) {
  const TedFields ted = ReadTed(tedXml);
  if (!VerifyTed(tedXml)) {
    throw SandboxError(422, "la firma FRMT del TED enviado no es válida para su DD");
  }
  if (ted.re != fields.rutEmisor) Mismatch("RE " + ted.re + " y RUTEmisor " + fields.rutEmisor);
  if (!SameNumber(ted.td, fields.tipo)) Mismatch("TD " + ted.td + " y TipoDTE " + fields.tipo);
  if (!SameNumber(fields.folio, "0") && !SameNumber(ted.f, fields.folio)) {
    Mismatch("F " + ted.f + " y Folio " + fields.folio);
  }
  if (ted.fe != fields.fchEmis) Mismatch("FE " + ted.fe + " y FchEmis " + fields.fchEmis);
  if (ted.rr != fields.rutRecep) Mismatch("RR " + ted.rr + " y RUTRecep " + fields.rutRecep);
  if (!BeginsWith(fields.rznSocRecep, ted.rsr)) Mismatch("RSR no es el inicio de RznSocRecep");
  if (!SameNumber(ted.mnt, fields.mntTotal)) {
    Mismatch("MNT " + ted.mnt + " y MntTotal " + fields.mntTotal);
  }
  if (!BeginsWith(fields.nmbItem, ted.it1)) Mismatch("IT1 no es el inicio de NmbItem");
  const auto folio = QuarloCliente::BindingInteger::TryParse(ted.f);
  if (!folio || folio->IsNegative() || folio->Digits() > 18) Mismatch("F no es un folio");
  return CallerTed{folio->ToInt64(), CafModulus(tedXml)};
}

}  // namespace QuarloSandbox
