#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <stdexcept>

namespace {

// Takes the locale the environment names, as an application run by a Chilean user does, so that
// every test also proves that the library reads and writes numbers the same under it. Where the
// environment names a locale that is not installed, the tests run under "C" with a warning,
// except when QUARLO_TEST_DECIMAL_COMMA asks for a decimal-comma locale: a run meant to prove
// that must not pass without one.
bool AdoptEnvironmentLocale() {
  const bool comma_required = std::getenv("QUARLO_TEST_DECIMAL_COMMA") != nullptr;
  if (std::setlocale(LC_ALL, "") == nullptr) {
    std::fprintf(stderr, "aviso: la configuración regional del entorno no está instalada\n");
    return !comma_required;
  }
  try {
    std::locale::global(std::locale(""));
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "aviso: std::locale(\"\") falló: %s\n", error.what());
    return !comma_required;
  }
  if (comma_required && std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
    std::fprintf(stderr, "la configuración regional no usa coma decimal\n");
    return false;
  }
  return true;
}

}  // namespace

// Every test program starts here instead of GoogleTest's own main.
int main(int argc, char** argv) {
  if (!AdoptEnvironmentLocale()) return 1;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
