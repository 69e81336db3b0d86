#include "sandbox_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace QuarloCliente::integration {

namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

Pipe MakePipe() {
  int fds[2];
  // Close-on-exec, so that no other child inherits the write end and keeps the pipe from EOF.
  if (pipe2(fds, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe2: " + std::string(strerror(errno)));
  }
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Starts a program: stdin from /dev/null, stdout into stdoutFd (the log when -1), stderr appended
// to log.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int stdoutFd,
            const std::filesystem::path& log) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const UniqueFd input(open("/dev/null", O_RDONLY | O_CLOEXEC));
  const UniqueFd errors(open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (input.Get() < 0 || errors.Get() < 0) {
    throw std::runtime_error("no se pudo abrir " + log.string() + ": " + strerror(errno));
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork: " + std::string(strerror(errno)));
  if (pid == 0) {
    // Only async-signal-safe calls until exec. The child dies with the test process, so a test
    // that crashes leaves no server behind.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent ||
        dup2(input.Get(), STDIN_FILENO) < 0 ||
        dup2(stdoutFd < 0 ? errors.Get() : stdoutFd, STDOUT_FILENO) < 0 ||
        dup2(errors.Get(), STDERR_FILENO) < 0) {
      _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Appends what fd delivers to `into` until done(into), EOF or the deadline; false only when the
// deadline (or a read error) came first.
bool ReadUntil(int fd, std::string& into, Clock::time_point deadline,
               const std::function<bool(const std::string&)>& done) {
  while (!done(into)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{fd, POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    into.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

int WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
  // A pidfd turns the wait into a poll with a time limit, so a hung server cannot hang the test.
  const UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (pidfd.Get() >= 0) {
    pollfd exited{pidfd.Get(), POLLIN, 0};
    if (poll(&exited, 1, static_cast<int>(timeout.count())) == 0) kill(pid, SIGKILL);
  }
  int status = 0;
  pid_t waited = -1;
  for (int attempt = 0; attempt < 100 && waited < 0; ++attempt) {
    waited = waitpid(pid, &status, 0);
    if (waited < 0 && errno != EINTR) return -1;
  }
  if (waited < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::filesystem::path& log) {
  return Spawn(program, args, -1, log);
}

SandboxProcess::SandboxProcess(SandboxOptions options)
    : options_(std::move(options)), log_(options_.folder / "sandbox.log") {
  std::vector<std::string> args{
      "--port", "0", "--api-key", options_.apiKey, "--authority-key", AuthorityKeyFile().string()};
  if (!options_.db.empty()) {
    args.push_back("--db");
    args.push_back(options_.db.string());
  }
  args.insert(args.end(), options_.extraArgs.begin(), options_.extraArgs.end());
  Pipe out = MakePipe();
  pid_ = Spawn(QUARLO_SANDBOX_BINARY, args, out.write.Get(), log_);
  // Only the child may hold the write end, or a server that dies would never give EOF.
  out.write.Reset();
  stdout_ = std::move(out.read);

  std::string line;
  ReadUntil(stdout_.Get(), line, Clock::now() + kProcessTimeout,
            [](const std::string& text) { return text.find('\n') != std::string::npos; });
  const std::string announce = "escuchando en ";
  const auto at = line.find(announce);
  const auto end = line.find('\n');
  if (at == std::string::npos || end == std::string::npos) {
    const int status = Stop();
    throw std::runtime_error("quarlo-sandbox no anunció su dirección (estado " +
                             std::to_string(status) + "): '" + line + "'\n" + Log());
  }
  uri_ = line.substr(at + announce.size(), end - at - announce.size());
}

SandboxProcess::~SandboxProcess() {
  Stop();
}

std::string SandboxProcess::Log() const {
  std::ifstream in(log_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int SandboxProcess::End(int signal) {
  if (pid_ < 0) return -1;
  kill(pid_, signal);
  const int status = WaitForExit(pid_);
  pid_ = -1;
  return status;
}

CommandResult RunSandboxCommand(const std::vector<std::string>& args,
                                const std::filesystem::path& errorLog) {
  Pipe out = MakePipe();
  const pid_t pid = Spawn(QUARLO_SANDBOX_BINARY, args, out.write.Get(), errorLog);
  out.write.Reset();
  CommandResult result;
  if (!ReadUntil(out.read.Get(), result.out, Clock::now() + kProcessTimeout,
                 [](const std::string&) { return false; })) {
    kill(pid, SIGKILL);
  }
  result.status = WaitForExit(pid);
  return result;
}

}  // namespace QuarloCliente::integration
