#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>

#include "core/servicio_internals.hpp"

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

std::string Reason(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "no existe";
    case EACCES:
    case EPERM:
      return "no se tiene permiso para leerlo";
    case EISDIR:
      return "es una carpeta";
    default:
      return "error del sistema " + std::to_string(error);
  }
}

[[noreturn]] void ThrowFileError(const std::string& path, int error) {
  throw Error("no se pudo leer el fichero '" + path + "': " + Reason(error));
}

// Opened read-only: a mistyped path must fail without leaving an empty file behind.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path)
      : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) ThrowFileError(path_, errno);
  }
  ~ReadOnlyFile() { ::close(fd_); }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Every byte up to the end of the file.
  Bytes ReadAll() {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) ThrowFileError(path_, errno);
    if (S_ISDIR(info.st_mode)) ThrowFileError(path_, EISDIR);
    Bytes bytes;
    std::uint8_t chunk[8192];
    for (;;) {
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowFileError(path_, errno);
      if (n == 0) return bytes;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
  }

 private:
  std::string path_;
  int fd_;
};

}  // namespace

namespace detail {

Bytes ReadFileBytes(const std::string& path) {
  Bytes bytes = ReadOnlyFile(path).ReadAll();
  if (bytes.empty()) throw Error("el fichero '" + path + "' está vacío");
  return bytes;
}

}  // namespace detail

bool Servicio::EscribirFichero(const std::string& caminoFichero, const Bytes& Data) {
  // Truncating matters: a shorter PDF written over a longer one must not keep the old tail.
  const int fd = ::open(caminoFichero.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, Data);
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

}  // namespace QuarloCliente
