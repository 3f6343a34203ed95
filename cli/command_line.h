// The words of an nvtheme command line, sorted into a subcommand, its
// options and its operands.
#pragma once

#include <string>
#include <vector>

namespace nv {

// How `check` reports: the operation log, or one line per error as
// compilers write them (--format=gnu).
enum class OutputFormat { Log, Gnu };

struct CommandLine {
  std::string command;  // "build", "check", "list", "extract", "verify"; empty with --help
                        // or --version alone
  std::vector<std::string> operands;
  OutputFormat format = OutputFormat::Log;
  unsigned jobs = 0;  // threads for build; 0: one per core
  bool outsideLinks = true;  // false: --no-outside-links, with build and check
  bool help = false;
  bool version = false;
};

// Options may stand anywhere before "--", which makes every later word an
// operand. On a usage error returns false with the reason in *error.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line,
                      std::string* error);

extern const char kUsage[];

}  // namespace nv
