#include <curl/curl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <quarlo/servicio.hpp>
#include <string>

#include "core/servicio_internals.hpp"

// libcurl's global set-up as this test program sees it: libcurl's own, unless the variable below
// asks for a failure, which no machine can otherwise be made to give on demand.
extern "C" CURLcode curl_global_init(long flags) {
  if (std::getenv("QUARLO_TEST_CURL_INIT_FAILS") != nullptr) return CURLE_FAILED_INIT;
  using Init = CURLcode (*)(long);
  static const auto real = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "curl_global_init"));
  return real(flags);
}

namespace QuarloCliente {
namespace {

bool RefusedWithTheReason(Servicio& servicio) {
  try {
    detail::HttpGet(servicio, "http://127.0.0.1:9/x");
  } catch (const Error& e) {
    return std::string(e.what()).starts_with("no se pudo iniciar el cliente HTTP");
  }
  return false;
}

// The set-up runs once per process, so the failure is tried in a process of its own.
[[noreturn]] void ExchangeAfterAFailedSetUp() {
  setenv("QUARLO_TEST_CURL_INIT_FAILS", "1", 1);
  Servicio first;
  Servicio second;
  std::exit(RefusedWithTheReason(first) && RefusedWithTheReason(first) &&
                    RefusedWithTheReason(second)
                ? 0
                : 1);
}

TEST(HttpClientSetUp, AFailureMakesEveryExchangeFailWithItsReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExchangeAfterAFailedSetUp(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace QuarloCliente
