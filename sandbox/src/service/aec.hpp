#pragma once

#include <string>

#include "store/records.hpp"

namespace QuarloSandbox {

// The cession record (AEC) of one cession of the document, unsigned: the ceded DTE as stored
// and the cession with its parties, amount and dates.
std::string AecXml(const DocumentRow& document, const Cession& cession);

}  // namespace QuarloSandbox
