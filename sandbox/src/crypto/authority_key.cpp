#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "crypto/caf.hpp"
#include "sandbox_error.hpp"
#include "stamping/rsa.hpp"
#include "unique_fd.hpp"

namespace QuarloSandbox {
namespace {

// Its signature (FRMA) travels inside every TED and so inside every PDF417 symbol; 1024 bits
// keep it small enough (see the CAF keys in caf.cpp).
constexpr unsigned kAuthorityKeyBits = 1024;
constexpr std::size_t kMaxKeyFileSize = 64 * 1024;

[[noreturn]] void FileError(const std::string& what, const std::string& path) {
  throw SandboxError(500, what + " " + path + ": " + std::strerror(errno));
}

AuthorityKey FromPrivatePem(std::string_view pem, const std::string& path) {
  const QuarloCliente::detail::PkeyPtr key = QuarloCliente::detail::ReadPrivateKeyPem(pem);
  if (!key) throw SandboxError(500, "el archivo " + path + " no contiene una clave RSA");
  return AuthorityKey{QuarloCliente::detail::PrivateKeyPem(key.get(), false),
                      QuarloCliente::detail::PublicKeyPem(key.get())};
}

// nullopt when the file does not exist.
std::optional<std::string> ReadKeyFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    FileError("no se pudo abrir la clave de la autoridad", path);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) FileError("no se pudo leer la clave de la autoridad", path);
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > kMaxKeyFileSize) {
      throw SandboxError(500, "el archivo " + path + " es demasiado grande para ser una clave");
    }
  }
}

void WriteAll(int fd, std::string_view text, const std::string& path) {
  while (!text.empty()) {
    const ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) FileError("no se pudo escribir la clave de la autoridad", path);
    text.remove_prefix(static_cast<std::size_t>(put));
  }
}

void SyncDirectory(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  UniqueFd dir(::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
}

// The key is written whole to a private temporary file and then linked into place, so that a
// crash never leaves a half key behind and two servers starting together agree on one key:
// link() fails for the one that comes second, which then reads the winner's file.
bool PublishKeyFile(const std::string& path, std::string_view pem) {
  std::string temporary = path + ".XXXXXX";
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.Get() < 0) FileError("no se pudo crear la clave de la autoridad", path);
  struct Unlink {
    const std::string& name;
    ~Unlink() { ::unlink(name.c_str()); }
  } cleanup{temporary};
  WriteAll(fd.Get(), pem, path);
  if (::fsync(fd.Get()) != 0 || !fd.Close()) {
    FileError("no se pudo escribir la clave de la autoridad", path);
  }
  if (::link(temporary.c_str(), path.c_str()) != 0) {
    if (errno == EEXIST) return false;
    FileError("no se pudo crear la clave de la autoridad", path);
  }
  SyncDirectory(path);
  return true;
}

}  // namespace

AuthorityKey AuthorityKey::Generate() {
  const QuarloCliente::detail::PkeyPtr key =
      QuarloCliente::detail::GenerateRsaKey(kAuthorityKeyBits);
  return AuthorityKey{QuarloCliente::detail::PrivateKeyPem(key.get(), false),
                      QuarloCliente::detail::PublicKeyPem(key.get())};
}

AuthorityKey AuthorityKey::LoadOrCreate(const std::string& path) {
  if (const auto existing = ReadKeyFile(path)) return FromPrivatePem(*existing, path);
  AuthorityKey created = Generate();
  if (PublishKeyFile(path, created.privatePem)) return created;
  const auto winner = ReadKeyFile(path);
  if (!winner) throw SandboxError(500, "la clave de la autoridad " + path + " desapareció");
  return FromPrivatePem(*winner, path);
}

}  // namespace QuarloSandbox
