#pragma once

// The SII document bindings in one include: values, context, the element model, the DTE and
// boleta documents with their custom fields, the envelopes they travel in, and the folio report
// and books.
#include <quarlo/binding_context.hpp>
#include <quarlo/binding_dte.hpp>
#include <quarlo/binding_element.hpp>
#include <quarlo/binding_envio.hpp>
#include <quarlo/binding_libros.hpp>
#include <quarlo/binding_values.hpp>
