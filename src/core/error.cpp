#include <quarlo/error.hpp>

namespace QuarloCliente {

// The key function: Error's type information and virtual table are emitted here, once.
Error::~Error() = default;

}  // namespace QuarloCliente
