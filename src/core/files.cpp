#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <quarlo/servicio.hpp>

namespace QuarloCliente {

namespace {

bool WriteAll(int fd, const Bytes& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool Servicio::EscribirFichero(const std::string& caminoFichero, const Bytes& Data) {
  // Truncating matters: a shorter PDF written over a longer one must not keep the old tail.
  const int fd = ::open(caminoFichero.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, Data);
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

}  // namespace QuarloCliente
