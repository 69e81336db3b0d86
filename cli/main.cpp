// quarlo: the library's tasks from the command line, for the people who run a shop's systems.

#include <clocale>
#include <iostream>
#include <quarlo/error.hpp>

#include "command.hpp"
#include "commands.hpp"

namespace {

using namespace QuarloCli;

int Run(int argc, char** argv) {
  Context context;
  CLI::App app{"quarlo: documentos tributarios electrónicos desde la línea de órdenes", "quarlo"};
  ConfigureRoot(app, context);
  AddStatusCommands(app, context);
  AddSendCommands(app, context);
  AddRetrievalCommands(app, context);
  AddLocalCommands(app, context);
  AddOutboxCommands(app, context);
  SpanishLabels(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help goes to stdout with status 0; any other parsing failure is a usage error.
    app.exit(error);
    return error.get_exit_code() == 0 ? kExitOk : kExitUsage;
  } catch (const UsageError& error) {
    std::cerr << "quarlo: " << error.what() << "\nVea «quarlo --help».\n";
    return kExitUsage;
  } catch (const std::exception& error) {
    Context::Warn(error.what());
    return kExitLocal;
  }
  return context.tally.Status();
}

}  // namespace

int main(int argc, char** argv) {
  // Texts and numbers in the user's locale never change what is sent: the library writes the
  // service's formats whatever the locale.
  std::setlocale(LC_ALL, "");
  return Run(argc, argv);
}
