#pragma once

#include <string>
#include <string_view>

namespace QuarloSandbox {

// The text as the free-text search compares it: lower case, and the Spanish accented letters
// and ñ without their marks ("Peñalolén" is "penalolen"), so that a query need not match the
// spelling of an accent.
std::string FoldForSearch(std::string_view utf8);

}  // namespace QuarloSandbox
