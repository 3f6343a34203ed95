// Sorting the words of an nvtheme command line by the tables of its
// commands and options, which --help shows.
#include "cli/command_line.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "manifest/manifest_elements.h"

namespace nv {

const char kVersion[] = NV_VERSION;

const char kCopyright[] =
    "Copyright (C) 2026 The Nuvarine Theme Builder authors.\n"
    "License MIT: <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

namespace {

struct CommandRow {
  Command command;
  const char* word;
  size_t minOperands, maxOperands;
  const char* operands;  // what they are, in words
  const char* label;     // its entry in --help, and its tag in the manual page
  const char* help;      // its lines beside and under the label
};

const CommandRow kCommands[] = {
    {Command::Build, "build", 1, SIZE_MAX, "a folder", "build FOLDER...",
     "check each folder and pack it into FOLDER.nvp;\n"
     "the operation log goes to standard output"},
    {Command::Check, "check", 1, SIZE_MAX, "a folder", "check FOLDER...",
     "check each folder's manifest and stop: nothing is\n"
     "packed or written; the log goes to standard output"},
    {Command::List, "list", 1, 1, "a package", "list PACKAGE",
     "show each packed file: id, size, stored size and\n"
     "name, separated by tabs"},
    {Command::Extract, "extract", 2, 2, "a package and a folder", "extract PACKAGE DIR",
     "unpack every file into DIR, created if missing;\n"
     "when a name is already there, nothing is written\n"
     "(see --force), and a failure part-way leaves DIR\n"
     "as it was"},
    {Command::Verify, "verify", 1, 1, "a package", "verify PACKAGE",
     "check all of the package, every file unpacked, and\n"
     "name each faulty file"},
    {Command::Init, "init", 1, 1, "a folder", "init DIR",
     "make DIR a new theme folder that passes the check\n"
     "and packs, to start from (DIR new or empty)"},
    {Command::Cache, "cache", 1, 1, "'clear'", "cache clear", "empty the build cache"},
    {Command::Lsp, "lsp", 0, 0, "nothing", "lsp",
     "serve the Language Server Protocol on standard\n"
     "input and output, for editors: the folder's\n"
     "findings as you type, completion, hover, go to\n"
     "file, an outline and fixes"},
};

constexpr unsigned Bit(Command command) { return 1u << static_cast<unsigned>(command); }
constexpr unsigned kBuild = Bit(Command::Build), kCheck = Bit(Command::Check),
                   kExtract = Bit(Command::Extract), kInit = Bit(Command::Init),
                   kLsp = Bit(Command::Lsp);

// What an option does with its value ("" for a switch). False with the
// reason, or with none when the value is none at all, as an empty file name.
using Setter = bool (*)(const std::string& value, CommandLine* line, std::string* error);

template <bool CommandLine::*flag, bool to = true>
bool Switch(const std::string&, CommandLine* line, std::string*) {
  line->*flag = to;
  return true;
}

template <std::string CommandLine::*text, bool mayBeEmpty>
bool Text(const std::string& value, CommandLine* line, std::string*) {
  line->*text = value;
  return mayBeEmpty || !value.empty();
}

bool SetWarning(const std::string& value, CommandLine* line, std::string* error) {
  return SwitchWarning(value, &line->warnings, &line->warningErrors, &line->warningsAsErrors,
                       error);
}

bool SetFormat(const std::string& value, CommandLine* line, std::string* error) {
  const std::pair<const char*, OutputFormat> formats[] = {
      {"gnu", OutputFormat::Gnu}, {"json", OutputFormat::Json}, {"sarif", OutputFormat::Sarif}};
  line->format = OutputFormat::Log;
  for (const auto& known : formats)
    if (value == known.first) line->format = known.second;
  if (line->format != OutputFormat::Log) return true;
  *error = "unknown format '" + value + "' (the formats are gnu, json and sarif)";
  return false;
}

bool SetColour(const std::string& value, CommandLine* line, std::string* error) {
  const std::pair<const char*, ColourChoice> choices[] = {{"auto", ColourChoice::Auto},
                                                          {"always", ColourChoice::Always},
                                                          {"never", ColourChoice::Never}};
  for (const auto& known : choices)
    if (value == known.first) {
      line->colour = known.second;
      return true;
    }
  *error = "unknown colour choice '" + value + "' (the choices are auto, always and never)";
  return false;
}

// A number of threads, 1 to 1024.
bool SetJobs(const std::string& value, CommandLine* line, std::string* error) {
  const bool digits = !value.empty() && value.size() <= 4 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  line->jobs = digits ? static_cast<unsigned>(std::stoul(value)) : 0;
  if (line->jobs >= 1 && line->jobs <= 1024) return true;
  *error = "'" + value + "' is no number of jobs (1 to 1024)";
  return false;
}

// Where an option's value may stand besides the next word and, after the
// long spelling, an '='; and what else limits the option.
enum Form : unsigned {
  kJoined = 1,        // right after the short spelling: -WNAME
  kJoinedEquals = 2,  // there, after an '=' or not: -j3, -j=3
  kEqualsOnly = 4,    // after the long spelling's '=' alone: --format=gnu
  kOneFolder = 8,     // with one folder only
  kMore = 16,         // another entry of the option above, named and checked as it is
};

struct Option {
  const char* shortName;  // "-j", or null
  const char* longName;   // "--jobs", or null; usage errors name an option by it
  const char* value;      // what its value is, in words; null for a switch
  unsigned forms;
  unsigned with;  // the commands it goes with; 0: any, or none at all
  int rank;       // of two options misplaced, a usage error names the lower rank
  Setter set;
  const char* label;  // the left column of --help, and the manual page's tag
  const char* help;   // its lines, after "with COMMANDS: " for an option that goes with some
};

// The options, in the order --help shows them.
const Option kOptions[] = {
    {"-o", "--output", "a file name", kOneFolder, kBuild, 3, Text<&CommandLine::output, false>,
     "-o, --output FILE",
     "write the package to FILE\n"
     "instead of beside the folder"},
    {"-q", "--quiet", nullptr, 0, kBuild | kCheck, 4, Switch<&CommandLine::quiet>, "-q, --quiet",
     "leave the log off standard\n"
     "output; errors, notes and the summary still go to\n"
     "standard error"},
    {nullptr, "--no-cache", nullptr, 0, kBuild | kCheck, 8, Switch<&CommandLine::noCache>,
     "--no-cache",
     "make every block anew, decode\n"
     "every image, and keep nothing for the next run (as\n"
     "NVTHEME_CACHE=off does); the package is the same"},
    {"-j", "--jobs", "a number", kJoinedEquals, kBuild | kCheck, 10, SetJobs, "-j, --jobs N",
     "read and compress files, and look\n"
     "into images, on N threads (one per core when not\n"
     "given); the package and the log are the same on\n"
     "any number"},
    {nullptr, "--format", "a value, as in --format=gnu", kEqualsOnly, kCheck, 1, SetFormat,
     "--format=gnu",
     "instead of the log, one line per error\n"
     "or warning, FILE:LINE:COLUMN: error: MESSAGE, as\n"
     "compilers write them for editors to jump to, each\n"
     "followed by its notes"},
    {nullptr, nullptr, nullptr, kMore, 0, 0, nullptr, "--format=json",
     "instead of the log, one JSON document:\n"
     "each folder, its themes and its findings"},
    {nullptr, nullptr, nullptr, kMore, 0, 0, nullptr, "--format=sarif",
     "instead of the log, a SARIF 2.1.0 log\n"
     "for code-scanning services"},
    {nullptr, "--color", "a value, as in --color=always", kEqualsOnly, kBuild | kCheck, 11,
     SetColour, "--color=WHEN",
     "colour the diagnostics on\n"
     "standard error: auto (on a terminal that shows\n"
     "colour, unless NO_COLOR is set), always or never"},
    {"-W", nullptr, "the name of a warning", kJoined, kBuild | kCheck, 6, SetWarning,
     "-W NAME, -WNAME", "report the warning NAME"},
    {nullptr, nullptr, nullptr, kMore, 0, 0, nullptr, "-W no-NAME, -Wno-NAME", "do not report it"},
    {nullptr, nullptr, nullptr, kMore, 0, 0, nullptr, "-Wall",
     "report every warning, those\n"
     "off by default too; a later -Wno-NAME turns\n"
     "one off"},
    {nullptr, nullptr, nullptr, kMore, 0, 0, nullptr, "-Werror=NAME, -Wno-error=NAME",
     "report the warning NAME as an\n"
     "error, or as a warning again; unpacked-reference\n"
     "is an error unless -Wno-error=unpacked-reference"},
    {nullptr, "--warnings-as-errors", nullptr, kMore, 0, 0, Switch<&CommandLine::warningsAsErrors>,
     "-Werror, --warnings-as-errors",
     "fail when a warning is\n"
     "reported; a build then stops after the checks,\n"
     "packs nothing and keeps the last good package"},
    {nullptr, "--list-warnings", nullptr, 0, 0, 0, Switch<&CommandLine::listWarnings>,
     "--list-warnings",
     "show each warning's name, whether it is on by\n"
     "default, and what it finds"},
    {nullptr, "--no-outside-links", nullptr, 0, kBuild | kCheck, 2,
     Switch<&CommandLine::outsideLinks, false>, "--no-outside-links",
     "pass over a file that leads\n"
     "outside its folder through a link, as if it could\n"
     "not be read (without it, such a file is packed and\n"
     "named on standard error)"},
    {nullptr, "--watch", nullptr, 0, kBuild | kCheck, 5, Switch<&CommandLine::watch>, "--watch",
     "after the first run, wait for\n"
     "changes to the folders' files and run again when\n"
     "they have been quiet for a moment; Ctrl-C stops"},
    {nullptr, "--force", nullptr, 0, kExtract, 7, Switch<&CommandLine::force>, "--force",
     "replace the files already in DIR;\n"
     "each new file is written beside them under a\n"
     "temporary name, and moved into place once all\n"
     "are whole"},
    {nullptr, "--name", "the theme's name", 0, kInit, 9, Text<&CommandLine::themeName, true>,
     "--name NAME", "the theme's name (\"My Theme\")"},
    {nullptr, "--stdio", nullptr, 0, kLsp, 12, Switch<&CommandLine::stdio>, "--stdio",
     "talk over standard input and output, as\n"
     "the server always does (some editors ask it so)"},
    {"-h", "--help", nullptr, 0, 0, 0, Switch<&CommandLine::help>, "-h, --help",
     "show this help and exit"},
    {"-V", "--version", nullptr, 0, 0, 0, Switch<&CommandLine::version>, "-V, --version",
     "show the version, copyright and license and exit"},
    // Its help alone: ParseCommandLine ends the options at "--" itself.
    {nullptr, nullptr, nullptr, 0, 0, 0, nullptr, "--", "treat every later argument as an operand"},
};

// The commands of `with`, each between `quote`s: "build and check".
std::string Words(unsigned with, const std::string& quote) {
  std::string text;
  for (const CommandRow& c : kCommands)
    if (with & Bit(c.command)) text += (text.empty() ? "" : " and ") + quote + c.word + quote;
  return text;
}

// An entry of --help: its label, and the lines of its help beside and under
// it; a label too wide for its column has a line of its own.
void AddEntry(std::string* text, const std::string& label, const std::string& help) {
  const std::string indent(23, ' ');
  *text += "  " + label;
  *text += label.size() + 4 <= indent.size() ? indent.substr(label.size() + 2) : "\n" + indent;
  for (char c : help) *text += c == '\n' ? "\n" + indent : std::string(1, c);
  *text += '\n';
}

// "unknown WHAT 'WORD'", and the name nearest to what was meant, as
// compilers offer it; `meant` is the word without a value it carries.
std::string Unknown(const std::string& what, const std::string& word, const std::string& meant,
                    const std::vector<std::string>& names) {
  const std::string nearest = NearestName(meant, names);
  return "unknown " + what + " '" + word + "'" +
         (nearest.empty() ? "" : "; did you mean '" + nearest + "'?");
}

// The long spellings, which a mistyped option is near: a short one is a
// letter, and any other letter would be as near.
std::vector<std::string> LongNames() {
  std::vector<std::string> names;
  for (const Option& o : kOptions)
    if (o.longName) names.push_back(o.longName);
  return names;
}

// Where the value of option `o` starts in `word`: 0 when the word is one of
// its spellings alone, npos when it spells another option.
size_t ValueAt(const Option& o, const std::string& word) {
  const auto StartsWith = [&word](const char* spelling, const char* then) {
    return spelling && word.rfind(std::string(spelling) + then, 0) == 0;
  };
  if ((o.shortName && word == o.shortName) || (o.longName && word == o.longName)) return 0;
  if (o.value && StartsWith(o.longName, "=")) return std::strlen(o.longName) + 1;
  if (!(o.forms & (kJoined | kJoinedEquals)) || !StartsWith(o.shortName, ""))
    return std::string::npos;
  return std::strlen(o.shortName) + ((o.forms & kJoinedEquals) && StartsWith(o.shortName, "="));
}

// The option at args[*i], its value taken from the word or the next; null
// with the reason on a usage error.
const Option* ParseOption(const std::vector<std::string>& args, size_t* i, CommandLine* line,
                          std::string* error) {
  const std::string& word = args[*i];
  const Option* head = kOptions;  // the option whose entry o is
  for (const Option& o : kOptions) {
    if (!(o.forms & kMore)) head = &o;
    const size_t at = o.set ? ValueAt(o, word) : std::string::npos;
    if (at == std::string::npos) continue;
    std::string value = word.substr(at ? at : word.size());
    const bool missing = !at && o.value && ((o.forms & kEqualsOnly) || *i + 1 == args.size());
    if (!at && o.value && !missing) value = args[++*i];
    if (!missing && o.set(value, line, error)) return head;
    if (error->empty()) *error = "'" + word.substr(0, word.find('=')) + "' needs " + o.value;
    return nullptr;
  }
  *error = Unknown("option", word, word.substr(0, word.find('=')), LongNames());
  return nullptr;
}

// Whether each option given goes with the command and its operands; if not,
// false with the reason, naming the option of lowest rank.
bool GoWithCommand(const std::vector<const Option*>& given, const CommandLine& line,
                   std::string* error) {
  const Option* misplaced = nullptr;
  for (const Option* o : given) {
    const bool fits = (!o->with || (o->with & Bit(line.command))) &&
                      (!(o->forms & kOneFolder) || line.operands.size() <= 1);
    if (!fits && (!misplaced || o->rank < misplaced->rank)) misplaced = o;
  }
  if (!misplaced) return true;
  const bool command = misplaced->with & Bit(line.command);
  *error = "'" + std::string(misplaced->longName ? misplaced->longName : misplaced->shortName) +
           "' goes with " + (command ? "one folder" : Words(misplaced->with, "'")) + " only";
  return false;
}

}  // namespace

std::string Usage() {
  std::string text =
      "Usage: nvtheme COMMAND [OPTION]... ARGUMENT...\n"
      "Checks theme folders and packs them into .nvp packages, and looks inside\n"
      "packages.\n"
      "\nCommands:\n";
  for (const CommandRow& c : kCommands) AddEntry(&text, c.label, c.help);
  text += "\nOptions:\n";
  const Option* o = kOptions;  // the option whose entry this is
  for (const Option& entry : kOptions) {
    if (!(entry.forms & kMore)) o = &entry;
    const std::string with = o->with ? "with " + Words(o->with, "") +
                                           (o->forms & kOneFolder ? " of one folder" : "") + ": "
                                     : "";
    AddEntry(&text, entry.label, with + entry.help);
  }
  return text +
         "\nA build takes the blocks of files unchanged since the last build of its\n"
         "package from that package, and keeps what it needs for that in the\n"
         "build cache, in $XDG_CACHE_HOME/nvtheme (~/.cache/nvtheme by default;\n"
         "%LOCALAPPDATA%\\nvtheme on Windows).\n"
         "\n"
         "Exit status: 0 on success, 1 when an error was printed (a build may\n"
         "still make its package) or a command failed, 2 for a usage error or a\n"
         "package path refused before a build, 130 when interrupted; the manual\n"
         "page, nvtheme(1), gives each command's.\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error) {
  *line = CommandLine();
  bool optionsEnded = false;
  std::vector<std::string> words;
  std::vector<const Option*> given;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      words.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (const Option* option = ParseOption(args, &i, line, error)) {
      given.push_back(option);
    } else {
      return false;
    }
  }
  if (line->help || line->version || line->listWarnings) return true;
  const CommandRow* command = nullptr;
  for (const CommandRow& c : kCommands)
    if (!words.empty() && words.front() == c.word) command = &c;
  if (!command) {
    std::vector<std::string> names;
    for (const CommandRow& c : kCommands) names.push_back(c.word);
    *error = words.empty() ? "no command given"
                           : Unknown("command", words.front(), words.front(), names);
    return false;
  }
  line->command = command->command;
  line->operands.assign(words.begin() + 1, words.end());
  if (!GoWithCommand(given, *line, error)) return false;
  const size_t n = line->operands.size();
  if (n < command->minOperands || n > command->maxOperands) {
    *error = "'" + words.front() + (n < command->minOperands ? "' needs " : "' takes only ") +
             command->operands;
    return false;
  }
  if (line->command == Command::Cache && line->operands[0] != "clear") {
    *error = "unknown cache command '" + line->operands[0] + "' (the one there is: clear)";
    return false;
  }
  return true;
}

}  // namespace nv
