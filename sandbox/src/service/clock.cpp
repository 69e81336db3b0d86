#include <chrono>
#include <ctime>

#include "service/context.hpp"

namespace QuarloSandbox {

std::string NowText() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::string SpacedTimestamp(const std::string& timestamp) {
  std::string spaced = timestamp;
  if (spaced.size() > 10 && spaced[10] == 'T') spaced[10] = ' ';
  return spaced;
}

std::string ElapsedMilliseconds(std::chrono::steady_clock::time_point started) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count());
}

}  // namespace QuarloSandbox
