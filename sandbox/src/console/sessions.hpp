#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace QuarloSandbox {

// The console's login sessions, in memory: each a random token that the browser keeps in a
// cookie, valid until it expires or its owner logs out. The API key itself is never stored or
// handed out. Safe to use from any thread.
class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SessionStore(std::chrono::seconds lifetime = std::chrono::hours(12))
      : lifetime_(lifetime) {}

  // A new session's token: 32 bytes from OpenSSL's generator, in hex. Throws
  // std::runtime_error when the generator fails.
  std::string Open();
  // Whether the token names a session that has not expired; an expired one is forgotten.
  bool Valid(const std::string& token);
  // Ends the session, if there is one.
  void Close(const std::string& token);
  // How long a session lasts, for the cookie's Max-Age.
  std::chrono::seconds Lifetime() const { return lifetime_; }

 private:
  // Forgets every expired session; called with the mutex held.
  void Sweep(Clock::time_point now);

  const std::chrono::seconds lifetime_;
  std::mutex mutex_;
  std::unordered_map<std::string, Clock::time_point> expiries_;
};

}  // namespace QuarloSandbox
