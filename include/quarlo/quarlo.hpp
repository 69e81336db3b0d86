#pragma once

// Everything the library offers, in one include.
#include <quarlo/error.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/types.hpp>
