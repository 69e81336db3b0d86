#include "service/lookup.hpp"

#include <cctype>
#include <limits>

#include "protocol/request.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

std::string CanonicalTipo(std::string_view text) {
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.front()))) {
    return std::to_string(RequireNumber(text, "tipo de documento", 0, 999999));
  }
  std::string word;
  for (const char c : text) {
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      throw SandboxError(400, "el tipo de documento '" + std::string(text) +
                                  "' no es un código numérico ni un tipo de libro");
    }
    word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  if (word.empty()) throw SandboxError(400, "falta el tipo de documento");
  return word;
}

DocumentKey RequestedKey(std::string_view environment, std::string_view rut, std::string_view tipo,
                         std::string_view folio) {
  return DocumentKey{RequireEnvironment(environment), RequireRut(rut, "RUT"), CanonicalTipo(tipo),
                     RequireNumber(folio, "folio", 0, std::numeric_limits<std::int64_t>::max())};
}

void RequireGroup(std::string_view group) {
  if (group == "E" || group == "R" || group.empty()) return;
  throw SandboxError(
      400, "el grupo debe ser E (emitidos) o R (recibidos), no '" + std::string(group) + "'");
}

std::string Describe(const DocumentKey& key) {
  return "tipo " + key.tipo + ", folio " + std::to_string(key.folio) + " del emisor " + key.rut +
         " en el ambiente " + key.environment;
}

DocumentRow RequireDocument(StoreTx& tx, const DocumentKey& key) {
  auto found = tx.FindDocument(key);
  if (!found) throw SandboxError(404, "no existe el documento " + Describe(key));
  return std::move(*found);
}

}  // namespace QuarloSandbox
