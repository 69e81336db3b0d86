#include <quarlo/version.hpp>

namespace QuarloCliente {

// Compiled into the library, so that the answer is the loaded library's, not the headers'.
std::string VersionBiblioteca() {
  return QUARLO_VERSION;
}

}  // namespace QuarloCliente
