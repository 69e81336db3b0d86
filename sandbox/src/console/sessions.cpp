#include "console/sessions.hpp"

#include <openssl/rand.h>

#include <array>
#include <stdexcept>

namespace QuarloSandbox {

namespace {

constexpr std::size_t kTokenBytes = 32;

std::string Hex(const unsigned char* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

}  // namespace

std::string SessionStore::Open() {
  std::array<unsigned char, kTokenBytes> bytes{};
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    throw std::runtime_error("no se pudo generar el identificador de la sesión");
  }
  std::string token = Hex(bytes.data(), bytes.size());
  const auto now = Clock::now();
  const std::lock_guard lock(mutex_);
  // Swept at each login, so that a sandbox left running keeps no more than a day of logins.
  Sweep(now);
  expiries_[token] = now + lifetime_;
  return token;
}

bool SessionStore::Valid(const std::string& token) {
  const auto now = Clock::now();
  const std::lock_guard lock(mutex_);
  const auto found = expiries_.find(token);
  if (found == expiries_.end()) return false;
  if (found->second > now) return true;
  expiries_.erase(found);
  return false;
}

void SessionStore::Close(const std::string& token) {
  const std::lock_guard lock(mutex_);
  expiries_.erase(token);
}

void SessionStore::Sweep(Clock::time_point now) {
  std::erase_if(expiries_, [now](const auto& entry) { return entry.second <= now; });
}

}  // namespace QuarloSandbox
