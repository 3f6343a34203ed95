// nvtheme as a whole: its version, help and usage errors, the summary and
// error lines, and the build cache's own command.
#include <gtest/gtest.h>

#include "cli/folder_report.h"
#include "testing/command_fixture.h"
#include "testing/memory_file_system.h"
#include "testing/sound_theme.h"

namespace nv {
namespace {

// What --help prints, byte for byte.
const char kHelp[] =
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
    "  lsp                  serve the Language Server Protocol on standard\n"
    "                       input and output, for editors: the folder's\n"
    "                       findings as you type, completion, hover, go to\n"
    "                       file, an outline and fixes\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    with build of one folder: write the package to FILE\n"
    "                       instead of beside the folder\n"
    "  -q, --quiet          with build and check: leave the log off standard\n"
    "                       output; errors, notes and the summary still go to\n"
    "                       standard error\n"
    "  --no-cache           with build and check: make every block anew, decode\n"
    "                       every image, and keep nothing for the next run (as\n"
    "                       NVTHEME_CACHE=off does); the package is the same\n"
    "  -j, --jobs N         with build and check: read and compress files, and look\n"
    "                       into images, on N threads (one per core when not\n"
    "                       given); the package and the log are the same on\n"
    "                       any number\n"
    "  --format=gnu         with check: instead of the log, one line per error\n"
    "                       or warning, FILE:LINE:COLUMN: error: MESSAGE, as\n"
    "                       compilers write them for editors to jump to, each\n"
    "                       followed by its notes\n"
    "  --format=json        with check: instead of the log, one JSON document:\n"
    "                       each folder, its themes and its findings\n"
    "  --format=sarif       with check: instead of the log, a SARIF 2.1.0 log\n"
    "                       for code-scanning services\n"
    "  --color=WHEN         with build and check: colour the diagnostics on\n"
    "                       standard error: auto (on a terminal that shows\n"
    "                       colour, unless NO_COLOR is set), always or never\n"
    "  -W NAME, -WNAME      with build and check: report the warning NAME\n"
    "  -W no-NAME, -Wno-NAME\n"
    "                       with build and check: do not report it\n"
    "  -Wall                with build and check: report every warning, those\n"
    "                       off by default too; a later -Wno-NAME turns\n"
    "                       one off\n"
    "  -Werror=NAME, -Wno-error=NAME\n"
    "                       with build and check: report the warning NAME as an\n"
    "                       error, or as a warning again; unpacked-reference\n"
    "                       is an error unless -Wno-error=unpacked-reference\n"
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
    "  --stdio              with lsp: talk over standard input and output, as\n"
    "                       the server always does (some editors ask it so)\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version, copyright and license and exit\n"
    "  --                   treat every later argument as an operand\n"
    "\n"
    "A build takes the blocks of files unchanged since the last build of its\n"
    "package from that package, and keeps what it needs for that in the\n"
    "build cache, in $XDG_CACHE_HOME/nvtheme (~/.cache/nvtheme by default;\n"
    "%LOCALAPPDATA%\\nvtheme on Windows).\n"
    "\n"
    "Exit status: 0 on success, 1 when an error was printed (a build may\n"
    "still make its package) or a command failed, 2 for a usage error or a\n"
    "package path refused before a build, 130 when interrupted; the manual\n"
    "page, nvtheme(1), gives each command's.\n";

TEST_F(NvthemeTest, VersionAndHelp) {
  for (const char* version : {"--version", "-V"}) {
    EXPECT_EQ(0, Run({version}));
    EXPECT_EQ(0u, out.str().find("nvtheme " NV_VERSION "\nCopyright (C) 2026 "));
    EXPECT_NE(std::string::npos, out.str().find("\nLicense MIT: "));
  }
  for (const char* help : {"--help", "-h"}) {
    EXPECT_EQ(0, Run({help}));
    EXPECT_EQ(kHelp, out.str());
  }
  EXPECT_EQ("", err.str());
}

TEST_F(NvthemeTest, UsageErrorExitsTwo) {
  EXPECT_EQ(2, Run({"build"}));
  EXPECT_EQ("nvtheme: 'build' needs a folder\nTry 'nvtheme --help' for more information.\n",
            err.str());
  EXPECT_EQ("", out.str());
  EXPECT_EQ(2, Run({"frobnicate"}));
}

// A note is a warning by the name it carries, whatever its words: one
// without a name is always kept and counts as no warning, and one with a
// name is kept only while that warning is on.
TEST(ReportCollectorTest, ANoteIsAWarningByTheNameItCarries) {
  const struct {
    const char* text;
    const char* warning;
    bool kept;
  } cases[] = {
      {"left out: held by another program", "", true},
      {"left out: held by another program", "unreadable-file", true},
      {"cannot list the folder: Input/output error", "outside-link", false},
      {"packed from /etc/l.png, outside the folder", "unlistable-folder", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.warning);
    ReportCollector collector({"unreadable-file", "unlistable-folder"}, {});
    FolderReport report;
    collector.CollectInto(&report);
    collector.Note("ocean", c.text, c.warning);
    ASSERT_EQ(c.kept ? 1u : 0u, report.notes.size());
    if (!c.kept) continue;
    EXPECT_EQ(c.warning, report.notes[0].name);
    EXPECT_EQ(*c.warning ? 1u : 0u, report.Warnings());
  }
}

TEST(FormatSizeTest, OneDecimalInUnitsOfAThousand) {
  const std::pair<uint64_t, const char*> sizes[] = {
      {0, "0 bytes"},        {1, "1 byte"},          {999, "999 bytes"},   {1000, "1.0 kB"},
      {6549, "6.5 kB"},      {6550, "6.6 kB"},       {999949, "999.9 kB"}, {999950, "1.0 MB"},
      {79980000, "80.0 MB"}, {4294967296, "4.3 GB"},
  };
  for (const auto& size : sizes) EXPECT_EQ(size.second, FormatSize(size.first)) << size.first;
}

// nvtheme's own lines on standard error name what they are about as it is
// given, with its control bytes escaped.
TEST_F(NvthemeTest, ErrorLinesEscapeControlBytes) {
  struct ErrorLine {
    std::vector<std::string> args;
    std::string err;
  };
  const ErrorLine cases[] = {
      {{"list", "a\nb.nvp"}, "nvtheme: a\\nb.nvp: cannot read it: no such file\n"},
      {{"check", "x\ty\\z"}, "nvtheme: x\\ty\\z: no such file or folder\n"},
      {{"frob\x1B[2J"},
       "nvtheme: unknown command 'frob\\x1B[2J'\nTry 'nvtheme --help' for more information.\n"},
  };
  for (const ErrorLine& c : cases) {
    Run(c.args);
    EXPECT_EQ(c.err, err.str());
  }

  // The notes of a build run too.
  AddFolder("sea", "<nuvarinepackage>" + kSoundTheme + "</nuvarinepackage>");
  const std::string held = JoinPath("sea", "a\nb.png"), link = JoinPath("sea", "l.png");
  AddHeldFileAndOutsideLink(held, link, "/etc/\x1B[2J");
  EXPECT_EQ(0, Run({"build", "sea"}));
  EXPECT_EQ("nvtheme: " + JoinPath("sea", "a\\nb.png") + ": left out: held by another program\n" +
                "nvtheme: " + link + ": packed from /etc/\\x1B[2J, outside the folder\n" +
                "nvtheme: sea.nvp: 5 files, 2.1 kB\n",
            err.str());
}

// Two cache clears at once, as two commands started together run them:
// the other removes a file between this one's listing and its removal.
// Both succeed, each counting only the files it removed itself.
TEST_F(NvthemeTest, CacheClearMeetingAnotherSucceeds) {
  const std::string folder = JoinPath("cache", "nvtheme");
  const std::string first = JoinPath(folder, std::string(32, 'a') + ".cache");
  const std::string second = JoinPath(folder, std::string(32, 'b') + ".cache");
  fs.AddFolder("cache");
  fs.AddFolder(folder);
  fs.AddFile(first, "cache");
  fs.AddFile(second, "cache");
  bool raced = false;
  fs.before = [&](MemoryFileSystem::Op op, const std::string& path) {
    if (op == MemoryFileSystem::Op::RemoveFile && path == first && !raced) {
      raced = true;
      std::string why;
      fs.RemoveFile(path, &why);
    }
    return true;
  };
  EXPECT_EQ(0, RunNvtheme({"cache", "clear"}, fs, out, err, nullptr, {folder, "", true}));
  EXPECT_EQ("nvtheme: " + folder + ": 1 file removed\n", err.str());
  EXPECT_TRUE(raced);
  EXPECT_FALSE(fs.HasFile(first));
  EXPECT_FALSE(fs.HasFile(second));
}

}  // namespace
}  // namespace nv
