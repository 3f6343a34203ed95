// Sorting the words of an nvtheme command line.
#include "cli/command_line.h"

#include <cstdint>
#include <utility>

namespace nv {

const char kVersion[] = "1.0.0.1";

const char kCopyright[] =
    "Copyright (C) 2026 The Nuvarine Theme Builder authors.\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

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
    "                       when a name is already there, nothing is written\n"
    "                       (see --force), and a failure part-way leaves DIR\n"
    "                       as it was\n"
    "  verify PACKAGE       check all of the package, every file unpacked, and\n"
    "                       name each faulty file\n"
    "  init DIR             make DIR a new theme folder that passes the check\n"
    "                       and packs, to start from (DIR new or empty)\n"
    "  cache clear          empty the build cache\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    with build of one folder: write the package to FILE\n"
    "                       instead of beside the folder\n"
    "  -q, --quiet          with build and check: leave the log off standard\n"
    "                       output; errors, notes and the summary still go to\n"
    "                       standard error\n"
    "  --no-cache           with build: make every block anew and keep nothing\n"
    "                       for the next build (as NVTHEME_CACHE=off does);\n"
    "                       the package is the same\n"
    "  -j, --jobs N         with build: read and compress files on N threads\n"
    "                       (one per core when not given); the package and\n"
    "                       the log are the same on any number\n"
    "  --format=gnu         with check: instead of the log, one line per error\n"
    "                       or warning, FILE:LINE:COLUMN: error: MESSAGE, as\n"
    "                       compilers write them for editors to jump to, each\n"
    "                       followed by its notes\n"
    "  --format=json        with check: instead of the log, one JSON document:\n"
    "                       each folder, its themes and its findings\n"
    "  --format=sarif       with check: instead of the log, a SARIF 2.1.0 log\n"
    "                       for code-scanning services\n"
    "  -W NAME, -WNAME      with build and check: report the warning NAME\n"
    "  -W no-NAME, -Wno-NAME\n"
    "                       with build and check: do not report it\n"
    "  -Werror, --warnings-as-errors\n"
    "                       with build and check: fail when a warning is\n"
    "                       reported; a build then stops after the checks,\n"
    "                       packs nothing and keeps the last good package\n"
    "  --list-warnings      show each warning's name, whether it is on by\n"
    "                       default, and what it finds\n"
    "  --no-outside-links   with build and check: pass over a file that leads\n"
    "                       outside its folder through a link, as if it could\n"
    "                       not be read (without it, such a file is packed and\n"
    "                       named on standard error)\n"
    "  --watch              with build and check: after the first run, wait for\n"
    "                       changes to the folders' files and run again when\n"
    "                       they have been quiet for a moment; Ctrl-C stops\n"
    "  --force              with extract: replace the files already in DIR;\n"
    "                       each new file is written beside them under a\n"
    "                       temporary name, and moved into place once all\n"
    "                       are whole\n"
    "  --name NAME          with init: the theme's name (\"My Theme\")\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version, copyright and license and exit\n"
    "  --                   treat every later argument as an operand\n"
    "\n"
    "A build takes the blocks of files unchanged since the last build of its\n"
    "package from that package, and keeps what it needs for that in the\n"
    "build cache, in $XDG_CACHE_HOME/nvtheme (~/.cache/nvtheme by default;\n"
    "%LOCALAPPDATA%\\nvtheme on Windows).\n"
    "\n"
    "Exit status: 0 on success (with check: every manifest loaded and all its\n"
    "themes are valid), 1 when a folder was not built or checked clean, a\n"
    "package is faulty or output could not be written, 2 for a usage error.\n";

namespace {

struct CommandInfo {
  const char* name;
  size_t minOperands;
  size_t maxOperands;
  const char* operands;  // what they are, in words
  bool takesFormat;
};

const CommandInfo kCommands[] = {
    {"build", 1, SIZE_MAX, "a folder", false}, {"check", 1, SIZE_MAX, "a folder", true},
    {"list", 1, 1, "a package", false},        {"extract", 2, 2, "a package and a folder", false},
    {"verify", 1, 1, "a package", false},      {"init", 1, 1, "a folder", false},
    {"cache", 1, 1, "'clear'", false},
};

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

bool IsOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

bool ParseFormat(const std::string& word, OutputFormat* format, std::string* error) {
  const std::string value = word.substr(std::string("--format=").size());
  const std::pair<const char*, OutputFormat> formats[] = {
      {"gnu", OutputFormat::Gnu}, {"json", OutputFormat::Json}, {"sarif", OutputFormat::Sarif}};
  for (const auto& known : formats) {
    if (value == known.first) {
      *format = known.second;
      return true;
    }
  }
  *error = "unknown format '" + value + "' (the formats are gnu, json and sarif)";
  return false;
}

// A number of threads, 1 to 1024.
bool ParseJobs(const std::string& value, unsigned* jobs, std::string* error) {
  const bool digits = !value.empty() && value.size() <= 4 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  const unsigned long n = digits ? std::stoul(value) : 0;
  if (n < 1 || n > 1024) {
    *error = "'" + value + "' is no number of jobs (1 to 1024)";
    return false;
  }
  *jobs = static_cast<unsigned>(n);
  return true;
}

// The value of an option given as "-j N", "-jN", "--jobs N" or "--jobs=N".
bool OptionValue(const std::vector<std::string>& args, size_t* i, const std::string& name,
                 std::string* value, std::string* error) {
  const std::string& word = args[*i];
  if (word.size() > name.size()) {
    *value = word.substr(name.size() + (word[name.size()] == '=' ? 1 : 0));
    return true;
  }
  if (*i + 1 == args.size()) {
    *error = "'" + name + "' needs a number";
    return false;
  }
  *value = args[++*i];
  return true;
}

// The package's path given as "-o FILE", "--output FILE" or "--output=FILE".
bool OutputValue(const std::vector<std::string>& args, size_t* i, std::string* output,
                 std::string* error) {
  const std::string& word = args[*i];
  if (word.rfind("--output=", 0) == 0) {
    *output = word.substr(9);
  } else if (*i + 1 < args.size()) {
    *output = args[++*i];
  } else {
    output->clear();
  }
  if (output->empty()) *error = "'" + word.substr(0, word.find('=')) + "' needs a file name";
  return !output->empty();
}

bool IsJobsOption(const std::string& word) {
  return word.rfind("-j", 0) == 0 || word == "--jobs" || word.rfind("--jobs=", 0) == 0;
}

// The option at args[*i], and its value if it takes one; false with the
// reason on a usage error.
bool ParseOption(const std::vector<std::string>& args, size_t* i, CommandLine* line,
                 std::string* error) {
  const std::string& word = args[*i];
  if (IsJobsOption(word)) {
    std::string value;
    const std::string name = word.rfind("--", 0) == 0 ? "--jobs" : "-j";
    return OptionValue(args, i, name, &value, error) && ParseJobs(value, &line->jobs, error);
  }
  if (word.compare(0, 2, "-W") == 0 || word == "--warnings-as-errors") {
    line->warningSwitches = true;
    std::string value = word == "--warnings-as-errors" ? "error" : word.substr(2);
    if (word == "-W") {
      if (*i + 1 == args.size()) {
        *error = "'-W' needs the name of a warning";
        return false;
      }
      value = args[++*i];
    }
    return SwitchWarning(value, &line->warnings, &line->warningsAsErrors, error);
  }
  if (word == "-o" || word == "--output" || word.rfind("--output=", 0) == 0) {
    return OutputValue(args, i, &line->output, error);
  }
  if (word == "--name" || word.rfind("--name=", 0) == 0) {
    line->nameGiven = true;
    if (word.size() > 6) {
      line->themeName = word.substr(7);
    } else if (*i + 1 < args.size()) {
      line->themeName = args[++*i];
    } else {
      *error = "'--name' needs the theme's name";
      return false;
    }
  } else if (word == "--list-warnings") {
    line->listWarnings = true;
  } else if (word == "--watch") {
    line->watch = true;
  } else if (word == "--force") {
    line->force = true;
  } else if (word == "--no-cache") {
    line->noCache = true;
  } else if (word == "--no-outside-links") {
    line->outsideLinks = false;
  } else if (word == "--help" || word == "-h") {
    line->help = true;
  } else if (word == "--version" || word == "-V") {
    line->version = true;
  } else if (word == "--quiet" || word == "-q") {
    line->quiet = true;
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

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error) {
  *line = CommandLine();
  bool optionsEnded = false;
  std::vector<std::string> words;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || !IsOption(word)) {
      words.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (!ParseOption(args, &i, line, error)) {
      return false;
    }
  }
  if (line->help || line->version || line->listWarnings) return true;
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
  if (!line->outsideLinks && line->command != "build" && line->command != "check") {
    *error = "'--no-outside-links' goes with 'build' and 'check' only";
    return false;
  }
  if (!line->output.empty() && line->command != "build") {
    *error = "'--output' goes with 'build' only";
    return false;
  }
  if (!line->output.empty() && line->operands.size() > 1) {
    *error = "'--output' goes with one folder only";
    return false;
  }
  if (line->quiet && line->command != "build" && line->command != "check") {
    *error = "'--quiet' goes with 'build' and 'check' only";
    return false;
  }
  if (line->watch && line->command != "build" && line->command != "check") {
    *error = "'--watch' goes with 'build' and 'check' only";
    return false;
  }
  if (line->warningSwitches && line->command != "build" && line->command != "check") {
    *error = "'-W' goes with 'build' and 'check' only";
    return false;
  }
  if (line->force && line->command != "extract") {
    *error = "'--force' goes with 'extract' only";
    return false;
  }
  if (line->noCache && line->command != "build") {
    *error = "'--no-cache' goes with 'build' only";
    return false;
  }
  if (line->nameGiven && line->command != "init") {
    *error = "'--name' goes with 'init' only";
    return false;
  }
  if (line->jobs != 0 && line->command != "build") {
    *error = "'--jobs' goes with 'build' only";
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
  if (line->command == "cache" && line->operands[0] != "clear") {
    *error = "unknown cache command '" + line->operands[0] + "' (the one there is: clear)";
    return false;
  }
  return true;
}

}  // namespace nv
