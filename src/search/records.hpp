#pragma once

#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <quarlo/busqueda.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

#include "core/xml.hpp"

namespace QuarloCliente::detail {

// The values of one `document` element of a result page, looked up from the element itself, so
// that no lookup strays into a neighbouring document. The page must outlive it.
class DocumentFields {
 public:
  explicit DocumentFields(const xmlNode* document);

  // The text of the first element that `path` ("//Name") selects within the document, or "" when
  // it selects none.
  std::string Text(std::string_view path) const;

 private:
  const xmlNode* document_;
};

// Turns one document of a page into its record; throws Error when a value cannot be read.
using RecordBuilder = std::function<RegistroBusqueda(const DocumentFields&)>;

// Reads a document's TimeStamp text as a date; throws Error when it cannot.
using TimestampReader = std::function<Date(const std::string&)>;

// The records of every `document` element of the page, at any depth and in document order; an
// empty or unparsable page gives an empty collection. Throws when one record cannot be built.
std::shared_ptr<ColeccionDocumentos> BuildRecords(const std::string& pageXml,
                                                  const RecordBuilder& build);

// A document found by a search: every summary member but DocID, grupo and RecibidoSII, the
// reception date taken from FchRecepSII. Throws for a Folio that is not a 32-bit whole number or a
// TimeStamp that `readTimestamp` rejects.
std::shared_ptr<ResumenDTE> SearchSummary(const DocumentFields& fields,
                                          const TimestampReader& readTimestamp);

// A document found by a reconciliation: RecibidoSII and FechaRecibidoSII instead of the search's
// last five members; a blank TimeStamp is the current date and time. Throws for a Folio that is
// not a 32-bit whole number or a TimeStamp in none of the direct forms.
std::shared_ptr<ResumenDTE> ReconciledSummary(const DocumentFields& fields);

// A cession, every member copied as text; never throws for the content.
std::shared_ptr<ResumenCesion> CessionSummary(const DocumentFields& fields);

}  // namespace QuarloCliente::detail
