// zenolith: a command-line client of the ZenolithCE component library. It
// reaches the library only through the component runtime, as any client does.
#include <iostream>
#include <string_view>

#include "tools/zenolith/Commands.h"
#include "tools/zenolith/Printable.h"

namespace {

using zenolith::tools::Args;

struct Subcommand {
  std::string_view name;
  int (*run)(const Args&);
  std::string_view summary;
};

constexpr Subcommand kSubcommands[] = {
    {"register", zenolith::tools::RegisterCommand, "register the library's classes and type library"},
    {"unregister", zenolith::tools::UnregisterCommand, "remove the library's registration"},
    {"classes", zenolith::tools::ClassesCommand, "list the registered classes"},
    {"describe", zenolith::tools::DescribeCommand, "show the members of a class's interfaces"},
    {"script", zenolith::tools::ScriptCommand, "run an automation script against the library's objects"},
    {"convert", zenolith::tools::ConvertCommand, "convert coordinates between datums and grids"},
    {"decode", zenolith::tools::DecodeCommand, "decode NMEA files into JSON lines, one per event"},
    {"listen", zenolith::tools::ListenCommand, "print a live receiver's events as JSON lines"},
};

void Usage(std::ostream& out) {
  out << "usage: zenolith COMMAND [ARGS]\n\ncommands:\n";
  for (const Subcommand& s : kSubcommands) out << "  " << s.name << std::string(12 - s.name.size(), ' ') << s.summary << "\n";
  out << "\n'zenolith COMMAND --help' describes a command.\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(std::cerr);
    return 2;
  }
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    Usage(std::cout);
    return 0;
  }
  const Args args(argv + 2, argv + argc);
  for (const Subcommand& s : kSubcommands)
    if (s.name == command) return s.run(args);
  std::cerr << "zenolith: unknown command '" << zenolith::tools::Printable(command) << "'\n";
  Usage(std::cerr);
  return 2;
}
