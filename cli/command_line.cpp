// Sorting the words of an nvtheme command line.
#include "cli/command_line.h"

#include <cstdint>

namespace nv {

const char kUsage[] =
    "Usage: nvtheme COMMAND [OPTION]... ARGUMENT...\n"
    "Checks theme folders and packs them into .nvp packages, and looks inside\n"
    "packages.\n"
    "\n"
    "Commands:\n"
    "  build FOLDER...      check each folder and pack it into FOLDER.nvp;\n"
    "                       the operation log goes to standard output\n"
    "  check FOLDER...      check each folder's manifest and stop: nothing is\n"
    "                       packed or written; the log goes to standard output\n"
    "  list PACKAGE         show each packed file: id, size, stored size and\n"
    "                       name, separated by tabs\n"
    "  extract PACKAGE DIR  unpack every file into DIR, created if missing;\n"
    "                       no file already there is overwritten\n"
    "  verify PACKAGE       check all of the package, every file unpacked\n"
    "\n"
    "Options:\n"
    "  --format=gnu         with check: instead of the log, one line per error,\n"
    "                       MANIFEST:LINE:COLUMN: error: MESSAGE, as compilers\n"
    "                       write them for editors to jump to\n"
    "  --help               show this help and exit\n"
    "  --version            show the version and exit\n"
    "  --                   treat every later argument as an operand\n"
    "\n"
    "Exit status: 0 on success (with check: every manifest loaded and all its\n"
    "themes are valid), 1 when a folder was not built or checked clean or a\n"
    "package is faulty, 2 for a usage error.\n";

namespace {

struct CommandInfo {
  const char* name;
  size_t minOperands;
  size_t maxOperands;
  const char* operands;  // what they are, in words
  bool takesFormat;
};

const CommandInfo kCommands[] = {
    {"build", 1, SIZE_MAX, "a folder", false},
    {"check", 1, SIZE_MAX, "a folder", true},
    {"list", 1, 1, "a package", false},
    {"extract", 2, 2, "a package and a folder", false},
    {"verify", 1, 1, "a package", false},
};

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

bool IsOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

bool ParseFormat(const std::string& word, OutputFormat* format, std::string* error) {
  const std::string value = word.substr(std::string("--format=").size());
  if (value == "gnu") {
    *format = OutputFormat::Gnu;
    return true;
  }
  *error = "unknown format '" + value + "' (the one format is gnu)";
  return false;
}

// One word that begins with "-"; false with the reason on a usage error.
bool ParseOption(const std::string& word, CommandLine* line, std::string* error) {
  if (word == "--help") {
    line->help = true;
  } else if (word == "--version") {
    line->version = true;
  } else if (word.rfind("--format=", 0) == 0) {
    return ParseFormat(word, &line->format, error);
  } else {
    *error = word == "--format" ? "'--format' needs a value, as in --format=gnu"
                                : "unknown option '" + word + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line,
                      std::string* error) {
  *line = CommandLine();
  bool optionsEnded = false;
  std::vector<std::string> words;
  for (const std::string& word : args) {
    if (optionsEnded || !IsOption(word)) {
      words.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (!ParseOption(word, line, error)) {
      return false;
    }
  }
  if (line->help || line->version) return true;
  if (words.empty()) {
    *error = "no command given";
    return false;
  }
  line->command = words.front();
  line->operands.assign(words.begin() + 1, words.end());
  const CommandInfo* info = FindCommand(line->command);
  if (!info) {
    *error = "unknown command '" + line->command + "'";
    return false;
  }
  if (line->format != OutputFormat::Log && !info->takesFormat) {
    *error = "'--format' goes with 'check' only";
    return false;
  }
  if (line->operands.size() < info->minOperands) {
    *error = "'" + line->command + "' needs " + info->operands;
    return false;
  }
  if (line->operands.size() > info->maxOperands) {
    *error = "'" + line->command + "' takes only " + info->operands;
    return false;
  }
  return true;
}

}  // namespace nv
