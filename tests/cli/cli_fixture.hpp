#pragma once

// The command line run as a user runs it: the `quarlo` binary of this build as a child process,
// against a sandbox of the test's own, its stdout, stderr and exit status kept apart.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "integration/integration_fixture.hpp"

extern char** environ;

namespace QuarloCliente::cli_tests {

namespace checks = QuarloSandbox::checks;

// A finished run of `quarlo`.
struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public integration::IntegrationTest {
 protected:
  // Runs `quarlo args...` with QUARLO_URI and QUARLO_API_KEY naming the test's sandbox; env adds
  // or replaces variables, and a variable set to "" is removed.
  CliRun Quarlo(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}) {
    std::map<std::string, std::string> variables = Inherited();
    if (sandbox_) {
      variables["QUARLO_URI"] = sandbox_->Uri();
      variables["QUARLO_API_KEY"] = integration::kApiKey;
    }
    for (const auto& [name, value] : env) {
      if (value.empty()) {
        variables.erase(name);
      } else {
        variables[name] = value;
      }
    }
    return Run(args, variables);
  }

  // The JSON objects of --json output, one per line; a line that is not JSON fails the test.
  static std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.empty()) continue;
      try {
        objects.push_back(nlohmann::json::parse(line));
      } catch (const nlohmann::json::exception& error) {
        ADD_FAILURE() << "no es JSON: " << line << " (" << error.what() << ")";
      }
    }
    return objects;
  }

  // Every record carries the same four fields first, whatever the subcommand.
  static void ExpectCommonFields(const nlohmann::json& record) {
    for (const char* field : {"operacion", "ok", "fallo", "descripcion"}) {
      EXPECT_TRUE(record.contains(field)) << field << " in " << record.dump();
    }
  }

 private:
  static std::map<std::string, std::string> Inherited() {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text(*entry);
      const auto equals = text.find('=');
      if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    variables.erase("QUARLO_URI");
    variables.erase("QUARLO_API_KEY");
    return variables;
  }

  CliRun Run(const std::vector<std::string>& args,
             const std::map<std::string, std::string>& variables) {
    const auto outPath = dir_.path() / "quarlo.out";
    const auto errPath = dir_.path() / "quarlo.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> argvText{QUARLO_CLI_BINARY};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (const auto& [name, value] : variables) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, QUARLO_CLI_BINARY, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    CliRun run;
    if (spawned != 0) {
      ADD_FAILURE() << "no se pudo ejecutar quarlo";
      return run;
    }
    run.status = integration::WaitForExit(pid, std::chrono::seconds(120));
    run.out = checks::ReadFile(outPath);
    run.err = checks::ReadFile(errPath);
    return run;
  }
};

}  // namespace QuarloCliente::cli_tests
