// quarlo-sandbox: the local service. Serves the protocol until SIGINT or SIGTERM, or issues a
// test CAF with the sandbox's authority key.

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "crypto/caf.hpp"
#include "sandbox_error.hpp"
#include "server/http_server.hpp"
#include "server/options.hpp"
#include "store/store.hpp"

namespace {

using namespace QuarloSandbox;

std::string DefaultAuthorityKey() {
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.quarlo-sandbox/authority.pem";
}

AuthorityKey LoadAuthority(const std::string& path) {
  const std::filesystem::path file(path);
  if (file.has_parent_path()) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
  }
  return AuthorityKey::LoadOrCreate(path);
}

int IssueCaf(const CafOptions& options) {
  const Caf caf = IssueTestCaf(options.rut, options.razonSocial, options.tipo, options.desde,
                               options.hasta, LoadAuthority(options.authorityKey));
  std::cout << caf.xml << std::flush;
  return 0;
}

// The fault settings with their seed: the one given, else a fresh one that the warning names, so
// that a run with surprising faults can be replayed.
FaultSettings ResolveFaults(const ServeOptions& options) {
  FaultSettings faults = options.faults;
  if (faults.share <= 0) return faults;
  if (!options.seedGiven) {
    std::random_device device;
    faults.seed = (static_cast<std::uint64_t>(device()) << 32) | device();
    faults.seed &= 0x7fffffffffffffffULL;  // within what --semilla accepts
  }
  std::string kinds;
  for (const Fault fault : faults.kinds) {
    kinds += (kinds.empty() ? "" : ",") + std::string(FaultName(fault));
  }
  std::cerr << "quarlo-sandbox: aviso: se inyectan fallas (" << kinds << ") en una fracción "
            << faults.share << " de las solicitudes, --semilla " << faults.seed << "\n";
  return faults;
}

// Signals are taken by sigwait on the main thread: nothing runs inside a signal handler, and
// the server threads inherit the blocked mask so that the signals reach only sigwait.
sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

int Serve(const ServeOptions& options) {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  const AuthorityKey authority = LoadAuthority(options.authorityKey);
  Store store(options.db);
  if (options.apiKeys.empty()) {
    std::cerr << "quarlo-sandbox: aviso: sin --api-key se acepta cualquier llave AuthKey\n";
  }
  SandboxServer server(
      ServiceContext{store, authority}, ApiKeys(options.apiKeys),
      [](const std::string& line) { std::cerr << "quarlo-sandbox: " + line + "\n"; }, {},
      ResolveFaults(options));
  const int port = server.Bind(options.host, options.port);
  server.Start();
  std::cout << "quarlo-sandbox escuchando en http://" << options.host << ":" << port << std::endl;
  int received = 0;
  sigwait(&signals, &received);
  server.Stop();
  std::cerr << "quarlo-sandbox: detenido\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const CommandLine line =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), DefaultAuthorityKey());
    switch (line.command) {
      case CommandLine::Command::Help:
        std::cout << Usage();
        return 0;
      case CommandLine::Command::Caf:
        return IssueCaf(line.caf);
      case CommandLine::Command::Serve:
        return Serve(line.serve);
    }
  } catch (const UsageError& error) {
    std::cerr << "quarlo-sandbox: " << error.what() << "\n" << Usage();
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "quarlo-sandbox: " << error.what() << "\n";
    return 1;
  }
  return 1;
}
