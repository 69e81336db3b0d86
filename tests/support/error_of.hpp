#pragma once

#include <functional>
#include <quarlo/error.hpp>
#include <string>

namespace QuarloCliente::testing {

// The description of the Error the action throws, or "sin error" when it throws none.
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "sin error";
}

}  // namespace QuarloCliente::testing
