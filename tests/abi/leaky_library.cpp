// A library exporting each kind of name libquarlo.so must not, beside interface names, for the
// export check's own test.
#include <string>

#define EXPORTED __attribute__((visibility("default")))

namespace QuarloCliente {

EXPORTED int Publica() { return 1; }

// A function template's demangled name starts with its return type.
template <class T>
EXPORTED std::string Plantilla(T) {
  return "p";
}
template std::string Plantilla<int>(int);

namespace detail {

EXPORTED int Interna() { return 2; }

template <class T>
EXPORTED std::string PlantillaInterna(T) {
  return "i";
}
template std::string PlantillaInterna<int>(int);

}  // namespace detail
}  // namespace QuarloCliente

extern "C" EXPORTED int curl_falsa() { return 3; }

EXPORTED int Suelta() { return 4; }
