#pragma once

// Everything the library offers, in one include.
#include <quarlo/acciones.hpp>
#include <quarlo/bandeja.hpp>
#include <quarlo/binding.hpp>
#include <quarlo/busqueda.hpp>
#include <quarlo/caf.hpp>
#include <quarlo/consultas.hpp>
#include <quarlo/documentos.hpp>
#include <quarlo/error.hpp>
#include <quarlo/libros.hpp>
#include <quarlo/namespaces.hpp>
#include <quarlo/pdf417.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/timbre.hpp>
#include <quarlo/types.hpp>
#include <quarlo/version.hpp>
#include <quarlo/xml_document.hpp>
