#pragma once

#include <string>

#include "store/records.hpp"

namespace QuarloSandbox {

// The console path of a stored document's page: /consola/documento/<ambiente>/<rut>/<tipo>/<folio>.
std::string DocumentLink(const DocumentKey& key);

// A whole amount of pesos as a reader writes it: "154700" is "$154.700"; any other text as it is.
std::string PesoAmount(const std::string& digits);

}  // namespace QuarloSandbox
