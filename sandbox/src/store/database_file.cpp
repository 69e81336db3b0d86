#include "store/database_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "sandbox_error.hpp"
#include "unique_fd.hpp"

namespace QuarloSandbox {

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
constexpr mode_t kOthers = S_IRWXG | S_IRWXO;

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw SandboxError(500, what + " " + path + ": " + std::strerror(errno));
}

// Only a mode that lets others in is changed: a private file owned by someone else is left alone
// rather than refused.
void TightenOpenFile(int fd, const std::string& path) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) Fail("no se pudo leer el modo de", path);
  if ((status.st_mode & kOthers) != 0 && ::fchmod(fd, kOwnerOnly) != 0) {
    Fail("no se pudo restringir el acceso a", path);
  }
}

}  // namespace

void MakeDatabaseFilesPrivate(const std::string& path) {
  const UniqueFd database(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, kOwnerOnly));
  if (database.Get() < 0) Fail("no se pudo abrir la base de datos", path);
  TightenOpenFile(database.Get(), path);
  // Left behind by a sandbox that stopped without closing the database, or by an older one.
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string journal = path + suffix;
    const UniqueFd fd(::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0 && errno == ENOENT) continue;
    if (fd.Get() < 0) Fail("no se pudo abrir", journal);
    TightenOpenFile(fd.Get(), journal);
  }
}

}  // namespace QuarloSandbox
