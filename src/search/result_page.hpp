#pragma once

#include <functional>
#include <memory>
#include <quarlo/busqueda.hpp>
#include <quarlo/types.hpp>
#include <string_view>

#include "core/answer.hpp"
#include "search/records.hpp"

namespace QuarloCliente::detail {

// The fixed prefix of every failure of a search or a reconciliation.
inline constexpr std::string_view kSearchFailure = "Error buscando documentos: ";

// Reads the service's answer to a search or reconciliation into `raw`: Estado from Result (and
// SetError with Description when it is not "0", returning false), then TiempoBusqueda from
// SearchTime ("" when absent), TotalDocumentos from TotalDocuments and xml from the ISO-8859-1
// Base64 of Data, in that order, so that what was read before a failure stays. Throws Error for
// a missing Result, TotalDocuments or Data, a count beyond 32 bits or invalid Base64.
bool ReadResultPage(const ServiceAnswer& answer, ResultadoBusDocumento& raw);

// The number of pages of `total` matches shown `pageSize` at a time: the quotient rounded toward
// zero (a quotient between 0 and 1 rounds up to 1, so a few matches make one page), plus one for
// a partial last page when there are more matches than one page holds. Throws Error for a page
// size of 0 or a count beyond 32 bits.
Long PageCount(Long total, Integer pageSize);

// Runs a search or reconciliation core and turns its page into the public result: the records
// built from every `document`, the core's figures and xml, and the core's very status object.
// When a record cannot be built, the result reports that failure and holds no document list.
std::shared_ptr<ResultadosBusqueda> AssembleResults(
    const std::function<std::shared_ptr<ResultadoBusDocumento>()>& runCore,
    const RecordBuilder& build);

}  // namespace QuarloCliente::detail
