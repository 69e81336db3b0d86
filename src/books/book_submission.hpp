#pragma once

#include <memory>
#include <optional>
#include <quarlo/binding_element.hpp>
#include <quarlo/error.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <string_view>

#include "binding/node.hpp"
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

// The book's Content: Base64 of its UTF-8 text as the service takes it (the SII namespace as the
// root's default one, no banner), written once; `cut`, an element of the book (the cover whose
// data travel as request fields), is left out, and `closingMarkup` goes before the root's end tag.
std::string BookContent(const BindingDocument& book, const BindingNode* cut = nullptr,
                        std::string_view closingMarkup = {});

// A book submission's answer as its result (Estado and Descripcion); a failure under
// "Error Enviando DTE: ".
std::shared_ptr<ResultadoEnviarLibro> ParseBookResponse(const HttpAnswer& response);

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
