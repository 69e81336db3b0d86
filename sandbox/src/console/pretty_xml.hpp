#pragma once

#include <string>
#include <string_view>

namespace QuarloSandbox {

// The XML text (UTF-8) indented two blanks a level for reading, whitespace between elements
// replaced; the text as it is when it does not parse.
std::string PrettyXml(std::string_view xml);

}  // namespace QuarloSandbox
