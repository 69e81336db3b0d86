#pragma once

// quarlo-sandbox run as a child process on a free loopback port, the way a developer runs it, so
// that the library is tested against the real binary over real HTTP.

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "unique_fd.hpp"

namespace QuarloCliente::integration {

// What a sandbox is started with. The folder keeps the authority key and the server's log, so a
// restarted sandbox signs and accepts the same CAFs.
struct SandboxOptions {
  std::filesystem::path folder;
  std::string apiKey = "llave-integracion";
  std::filesystem::path db;            // empty: the store lives in memory
  std::vector<std::string> extraArgs;  // more options, such as the faults to inject
};

// Longest wait for the server to start listening, stop, or finish a command. Generous because
// the sanitizer builds start slowly; only a hung server ever waits this long.
inline constexpr std::chrono::seconds kProcessTimeout{60};

// The sandbox's own owner of a file descriptor serves the pipes and files of the process too.
using QuarloSandbox::UniqueFd;

// A running quarlo-sandbox. Starting throws std::runtime_error (with the server's log) when it
// does not announce its address in time; destruction stops it if Stop was not called.
class SandboxProcess {
 public:
  explicit SandboxProcess(SandboxOptions options);
  ~SandboxProcess();
  SandboxProcess(const SandboxProcess&) = delete;
  SandboxProcess& operator=(const SandboxProcess&) = delete;

  // "http://127.0.0.1:PORT", as the server announced it.
  const std::string& Uri() const { return uri_; }
  const SandboxOptions& Options() const { return options_; }
  // The authority key file the server signs and checks CAFs with.
  std::filesystem::path AuthorityKeyFile() const { return options_.folder / "authority.pem"; }
  // Everything the server wrote on stderr so far.
  std::string Log() const;
  // The server's process id, -1 once it has been stopped.
  pid_t Pid() const { return pid_; }

  // Sends SIGTERM and waits for the exit: the exit status, 128 + the signal when a signal ended
  // it (SIGKILL when it did not stop in time), or -1 when it had already been stopped.
  int Stop() { return End(SIGTERM); }
  // Ends the server at once with SIGKILL, as a crash would; the status as Stop gives it.
  int Kill() { return End(SIGKILL); }

 private:
  int End(int signal);

  SandboxOptions options_;
  std::filesystem::path log_;
  pid_t pid_ = -1;
  UniqueFd stdout_;
  std::string uri_;
};

// A finished run of the sandbox binary: its exit status (as SandboxProcess::Stop gives it) and
// what it wrote on stdout.
struct CommandResult {
  int status = -1;
  std::string out;
};

// Runs `quarlo-sandbox args...` to completion, its stderr appended to errorLog.
CommandResult RunSandboxCommand(const std::vector<std::string>& args,
                                const std::filesystem::path& errorLog);

// Starts program with args as a child that dies with the test process: stdin from /dev/null,
// stdout and stderr appended to log. Its process id.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::filesystem::path& log);

// Waits for a child to end, killing it with SIGKILL when it outlives timeout; its exit status, or
// 128 + the signal that ended it, or -1 when it cannot be waited for.
int WaitForExit(pid_t pid, std::chrono::milliseconds timeout = kProcessTimeout);

}  // namespace QuarloCliente::integration
