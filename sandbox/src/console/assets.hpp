#pragma once

#include <string_view>

namespace QuarloSandbox {

// The text of one of the console's files (sandbox/console/: templates, style sheet, script),
// compiled into the program by the build; "" when there is no file of that name.
std::string_view ConsoleAsset(std::string_view fileName);

}  // namespace QuarloSandbox
