#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/store.hpp"

namespace QuarloSandbox {

// A PaginatedSearch query as an SQL condition over the documents table and its parameters.
//
// The query language: terms separated by blanks, all of which must hold. A term is
//   field:value       tipo:33  tipo:33,34  folio:120  folio:100..200  emisor:76543210-3
//                     receptor:77214903-4  fecha:2024-05-02  fecha:2024-05-01..2024-05-31
//                     fecha:..2024-05-31  monto:1000..50000  estado:anulado|vigente
//                     cedido:si|no  nombre:peñalolén
//   free text         any other word: found in the issuer's or receiver's name or the first
//                     item, ignoring case and accents.
// Double quotes keep blanks inside one term: "los peñascos", nombre:"casa matriz". An empty
// query matches every document. A term the language does not know is refused (400), and so is a
// query over 1000 characters, with over 32 terms or with a term over 200 characters.
struct SqlFilter {
  std::string condition = "1";
  std::vector<StoreTx::SearchParam> params;
};

SqlFilter CompileQuery(std::string_view query);

}  // namespace QuarloSandbox
