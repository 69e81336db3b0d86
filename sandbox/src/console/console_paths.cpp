#include "console/console_paths.hpp"

#include "server/dispatcher.hpp"

namespace QuarloSandbox {

bool IsConsolePath(std::string_view target) {
  return OperationName(std::string(target)) == "consola";
}

}  // namespace QuarloSandbox
