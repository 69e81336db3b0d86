#include "contingency/drain_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {

DrainLock::DrainLock(const std::string& outbox) : path_(outbox + "-envio") {}

DrainLock::~DrainLock() {
  if (fd_ >= 0) ::close(fd_);
}

void DrainLock::Acquire() {
  // Opened on first use, so that an outbox only read never gains a file.
  if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    throw Error("Bandeja de salida: no se pudo abrir '" + path_ + "': " + std::strerror(errno));
  }
  int result = 0;
  while ((result = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    throw Error("Bandeja de salida: no se pudo bloquear '" + path_ + "': " + std::strerror(errno));
  }
}

void DrainLock::Release() {
  if (fd_ >= 0) ::flock(fd_, LOCK_UN);
}

}  // namespace QuarloCliente::detail
