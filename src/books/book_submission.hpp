#pragma once

#include <memory>
#include <optional>
#include <quarlo/binding_element.hpp>
#include <quarlo/error.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <string_view>

#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente::detail {

// The book the caller passed; throws Error when the pointer is null, so that the operation
// reports it instead of crashing.
template <class Book>
Book& RequireBook(const std::shared_ptr<Book>& book) {
  if (!book) throw Error("no se indicó el libro a enviar");
  return *book;
}

// The book as text ready for the submissions' edits: serialised with the SII namespace under the
// marker prefix (of the library's own submission context), each UTF-8 byte held as one character so
// that the DOM edits that follow leave every byte of the content as it was, and cleaned of the
// markers and the banner. The SII namespace stays the default namespace of the root.
std::string BookText(Servicio& servicio, const BindingDocument& book);

// Runs `request`, which prepares the book and returns the request body, and posts that body to
// the service path. The service's answer; std::nullopt once `status` holds the prefix followed by
// the failure, when anything before the answer failed.
template <class Request>
std::optional<HttpAnswer> PostBook(Servicio& servicio, ResultadoServicio& status,
                                   std::string_view prefix, std::string_view path,
                                   Request&& request) {
  std::optional<HttpAnswer> answer;
  ReportFailures(status, prefix, [&] {
    const std::string body = request();
    answer =
        ServicioAccess::Post(servicio, ServiceUrl(ServicioAccess::ApiUri(servicio), path), body);
  });
  return answer;
}

}  // namespace QuarloCliente::detail
