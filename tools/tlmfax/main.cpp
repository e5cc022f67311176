// tlmfax: fax image files and fax sending from the command line.
#include <cstdio>
#include <cstring>
#include <exception>

#include "commands.h"
#include "faximage/fax_errors.h"

#ifndef TOLMERA_VERSION
#define TOLMERA_VERSION "unknown"
#endif

namespace tlm::tlmfax {

int Fail(const std::string& text) {
  std::fprintf(stderr, "tlmfax: %s\n", text.c_str());
  return 1;
}

int FailWith(const std::exception& e) {
  if (const auto* fe = dynamic_cast<const EFaxImageError*>(&e)) {
    return Fail(std::string(fe->what()) + " (" + std::to_string(fe->Code()) + ")");
  }
  return Fail(e.what());
}

namespace {

void PrintUsage(std::FILE* out) {
  std::fputs("Usage: tlmfax COMMAND [OPTION]... ARGUMENT...\n"
             "Work with fax image (APF) files and send or receive faxes through a fax modem.\n\n"
             "Commands:\n",
             out);
  for (const Command& command : Commands()) std::fprintf(out, "  %-9s %s\n", command.name, command.summary);
  std::fputs("\n"
             "  -h, --help     display this help and exit\n"
             "  -V, --version  output version information and exit\n\n"
             "'tlmfax help COMMAND' describes one command.\n",
             out);
}

void PrintCommandHelp(const Command& command) {
  std::printf("Usage: %s\n%s.\n", command.synopsis, command.summary);
  if (*command.details) std::printf("\n%s", command.details);
}

int Help(const Args& args) {
  if (args.empty()) {
    PrintUsage(stdout);
    return 0;
  }
  if (const Command* command = FindCommand(args[0])) {
    PrintCommandHelp(*command);
    return 0;
  }
  std::fprintf(stderr, "tlmfax: no such command '%s'\nTry 'tlmfax --help' for the list of commands.\n",
               args[0].c_str());
  return 2;
}

int Version() {
  std::printf("tlmfax (Tolmera) %s\n", TOLMERA_VERSION);
  return 0;
}

}  // namespace
}  // namespace tlm::tlmfax

int main(int argc, char** argv) {
  using namespace tlm::tlmfax;
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  const Args rest(argv + 2, argv + argc);
  if (first == "--help" || first == "-h") return Help({});
  if (first == "--version" || first == "-V") return Version();
  if (first == "help") return Help(rest);
  const Command* command = FindCommand(first);
  if (!command) {
    std::fprintf(stderr, "tlmfax: unknown command '%s'\nTry 'tlmfax --help' for more information.\n", first.c_str());
    return 2;
  }
  // "tlmfax COMMAND --help" is the same as "tlmfax help COMMAND".
  if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) return Help({first});
  try {
    return command->run(rest);
  } catch (const std::exception& e) {
    return FailWith(e);
  }
}
