#include "service/query.hpp"

#include <cctype>
#include <limits>

#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/lookup.hpp"
#include "service/search_text.hpp"
#include "service/stamping.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::int64_t kMaxNumber = std::numeric_limits<std::int64_t>::max();
// Each term adds a condition or two to one SQL expression, and each listed type a parameter:
// bounded here, a query never reaches the database's own limits (an expression tree 1000 deep,
// 32766 parameters), which it would refuse as a fault of the sandbox.
constexpr std::size_t kMaxQueryCharacters = 1000;
constexpr std::size_t kMaxTerms = 32;
constexpr std::size_t kMaxTermCharacters = 200;

// The number of characters of UTF-8 text, as a person would count them.
std::size_t CharacterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Checked before the query is split, so that a huge one costs nothing more.
void CheckQueryLength(std::string_view query) {
  if (CharacterCount(query) <= kMaxQueryCharacters) return;
  throw SandboxError(
      400, "la consulta supera los " + std::to_string(kMaxQueryCharacters) + " caracteres");
}

// Refuses too many terms, and a term too long.
void CheckTerms(const std::vector<std::string>& terms) {
  if (terms.size() > kMaxTerms) {
    throw SandboxError(400, "la consulta tiene " + std::to_string(terms.size()) +
                                " términos; admite hasta " + std::to_string(kMaxTerms));
  }
  for (const auto& term : terms) {
    if (CharacterCount(term) <= kMaxTermCharacters) continue;
    throw SandboxError(400, "el término '" + FirstCharacters(term, 20) + "…' supera los " +
                                std::to_string(kMaxTermCharacters) + " caracteres");
  }
}

// The query's terms, quotes removed.
std::vector<std::string> Terms(std::string_view query) {
  std::vector<std::string> terms;
  std::string current;
  bool quoted = false;
  bool any = false;
  for (const char c : query) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && std::isspace(static_cast<unsigned char>(c))) {
      if (any) terms.push_back(current);
      current.clear();
      any = false;
    } else {
      current.push_back(c);
      any = true;
    }
  }
  if (quoted) throw SandboxError(400, "la consulta tiene comillas sin cerrar");
  if (any) terms.push_back(current);
  return terms;
}

class Compiler {
 public:
  void Add(const std::string& term) {
    const auto colon = term.find(':');
    if (colon == std::string::npos) return Text(term);
    std::string field = term.substr(0, colon);
    for (auto& c : field) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string value = term.substr(colon + 1);
    if (field == "tipo") return Tipo(value);
    if (field == "folio") return Range("folio", value, "folio", false);
    if (field == "monto") return Range("CAST(total AS INTEGER)", value, "monto", false);
    if (field == "fecha") return Range("issue_date", value, "fecha", true);
    if (field == "emisor") return Equal("rut", RequireRut(value, "emisor"));
    if (field == "receptor") return Equal("receiver_rut", RequireRut(value, "receptor"));
    if (field == "estado") return Estado(value);
    if (field == "cedido") return Cedido(value);
    if (field == "nombre") return Text(value);
    throw SandboxError(400, "la consulta usa el campo desconocido '" + field +
                                "'; los campos son tipo, folio, emisor, receptor, fecha, "
                                "monto, estado, cedido y nombre");
  }
  SqlFilter Result() const { return filter_; }

 private:
  void Condition(const std::string& sql) {
    filter_.condition = filter_.condition == "1" ? sql : filter_.condition + " AND " + sql;
  }
  void Param(std::string text) { filter_.params.push_back({false, std::move(text), 0}); }
  void Param(std::int64_t number) { filter_.params.push_back({true, {}, number}); }

  void Text(const std::string& value) {
    Condition("instr(search_text, ?) > 0");
    Param(FoldForSearch(value));
  }
  void Equal(const char* column, const std::string& value) {
    Condition(std::string(column) + " = ?");
    Param(value);
  }
  void Tipo(const std::string& value) {
    std::string placeholders;
    for (std::size_t from = 0;;) {
      const auto comma = value.find(',', from);
      placeholders += placeholders.empty() ? "?" : ", ?";
      Param(CanonicalTipo(value.substr(from, comma - from)));
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
    Condition("tipo IN (" + placeholders + ")");
  }
  // value, value..value, ..value or value..; dates compare as AAAA-MM-DD text.
  void Range(const std::string& column, const std::string& value, const char* field, bool isDate) {
    const auto dots = value.find("..");
    const std::string low = value.substr(0, dots);
    const std::string high = dots == std::string::npos ? low : value.substr(dots + 2);
    if (low.empty() && high.empty()) {
      throw SandboxError(400, std::string("falta el valor del campo ") + field);
    }
    const auto bound = [&](const std::string& text, const char* op) {
      if (text.empty()) return;
      Condition(column + " " + op + " ?");
      if (isDate) {
        Param(RequireDate(text, field));
      } else {
        Param(RequireNumber(text, field, 0, kMaxNumber));
      }
    };
    bound(low, ">=");
    bound(high, "<=");
  }
  void Estado(const std::string& value) {
    if (value != "anulado" && value != "vigente") {
      throw SandboxError(400, "estado admite anulado o vigente, no '" + value + "'");
    }
    Condition(value == "anulado" ? "voided = 1" : "voided = 0");
  }
  void Cedido(const std::string& value) {
    if (value != "si" && value != "no") {
      throw SandboxError(400, "cedido admite si o no, no '" + value + "'");
    }
    Condition(std::string(value == "si" ? "" : "NOT ") +
              "EXISTS (SELECT 1 FROM cessions c WHERE c.document_id = documents.id)");
  }

  SqlFilter filter_;
};

}  // namespace

SqlFilter CompileQuery(std::string_view query) {
  CheckQueryLength(query);
  const std::vector<std::string> terms = Terms(query);
  CheckTerms(terms);
  Compiler compiler;
  for (const auto& term : terms) compiler.Add(term);
  return compiler.Result();
}

}  // namespace QuarloSandbox
