#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/base64.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

namespace {

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

Bytes Servicio::ReadFileBytes(const std::string& path) {
  Bytes bytes = ReadOnlyFile(path).ReadAll();
  if (bytes.empty()) throw Error("el fichero '" + path + "' está vacío");
  return bytes;
}

std::shared_ptr<ResultadoServicio> Servicio::EnviarCAF(const std::string& ambiente,
                                                       const std::string& cafFilePath) {
  auto result = std::make_shared<ResultadoServicio>();
  // No separator after the prefix: callers have always received the text in this form.
  detail::ReportFailures(*result, "Error enviando CAF", [&] {
    const std::string body = detail::WriteRequestBody(
        "UploadCafRequest", {{"Environment", ambiente},
                             {"Base64StrCaf", detail::EncodeBase64(ReadFileBytes(cafFilePath))}});
    const std::string url = detail::ServiceUrl(ApiUri, "/UploadCaf");
    detail::ApplyResult(detail::ServiceAnswer(detail::ServicioAccess::Post(*this, url, body)),
                        *result);
  });
  return result;
}

}  // namespace QuarloCliente
