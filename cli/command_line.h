// The words of an nvtheme command line, sorted into a subcommand, its
// options and its operands.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/warning_switches.h"

namespace nv {

// The commands; None when --help, --version or --list-warnings stands
// alone.
enum class Command { None, Build, Check, List, Extract, Verify, Init, Cache, Lsp };

// How `check` reports: the operation log, one line per finding as compilers
// write them (--format=gnu), one JSON document (--format=json), or a SARIF
// log (--format=sarif).
enum class OutputFormat { Log, Gnu, Json, Sarif };

// Whether the diagnostics on standard error are coloured: on a terminal
// that shows colour unless NO_COLOR is set (auto), or whatever it is.
enum class ColourChoice { Auto, Always, Never };

struct CommandLine {
  Command command = Command::None;
  std::vector<std::string> operands;
  OutputFormat format = OutputFormat::Log;
  ColourChoice colour = ColourChoice::Auto;  // --color, with build and check
  unsigned jobs = 0;                         // threads for build; 0: one per core
  bool outsideLinks = true;                  // false: --no-outside-links, with build and check
  std::string themeName = "My Theme";        // --name, with init
  bool stdio = false;                        // --stdio, with lsp: its one way to talk
  // The warnings build and check report, by name: those on by default, as
  // -W switched them, the last switch of a name deciding.
  std::set<std::string> warnings = DefaultWarnings();
  // Those of them that are errors: by default, those that break the
  // package; as -Werror=NAME and -Wno-error=NAME switched them.
  std::set<std::string> warningErrors = DefaultErrors();
  bool watch = false;             // --watch, with build and check
  bool quiet = false;             // -q, --quiet, with build and check: no log on standard output
  std::string output;             // -o, --output, with build of one folder: the package's path
  bool force = false;             // --force, with extract: replace files already there
  bool noCache = false;           // --no-cache, with build: neither use nor keep the build cache
  bool warningsAsErrors = false;  // -Werror, --warnings-as-errors
  bool help = false;
  bool version = false;
  bool listWarnings = false;
};

// Options may stand anywhere before "--", which makes every later word an
// operand. On a usage error returns false with the reason in *error.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error);

// What --help prints: the commands and options of the tables that parse
// them, between the lines that introduce and follow them.
std::string Usage();

extern const char kVersion[];  // the project's, as CMake gives it
// What --version prints after "nvtheme VERSION": the copyright and the
// license.
extern const char kCopyright[];

}  // namespace nv
