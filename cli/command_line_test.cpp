#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

struct UsageCase {
  std::vector<std::string> args;
  std::string error;
};

TEST(CommandLineTest, UsageErrors) {
  const UsageCase cases[] = {
      {{}, "no command given"},
      {{"pack", "x"}, "unknown command 'pack'"},
      {{"build"}, "'build' needs a folder"},
      {{"build", "--", "--"}, ""},
      {{"build", "-x", "f"}, "unknown option '-x'"},
      {{"--verbose", "build", "f"}, "unknown option '--verbose'"},
      {{"build", "--"}, "'build' needs a folder"},
      {{"check"}, "'check' needs a folder"},
      {{"check", "--format=xml", "f"},
       "unknown format 'xml' (the formats are gnu, json and sarif)"},
      {{"check", "--format=", "f"}, "unknown format '' (the formats are gnu, json and sarif)"},
      {{"check", "--format", "gnu", "f"}, "'--format' needs a value, as in --format=gnu"},
      {{"build", "--format=gnu", "f"}, "'--format' goes with 'check' only"},
      {{"build", "-j"}, "'-j' needs a number"},
      {{"build", "-j", "0", "f"}, "'0' is no number of jobs (1 to 1024)"},
      {{"build", "--jobs=x", "f"}, "'x' is no number of jobs (1 to 1024)"},
      {{"build", "-j2000", "f"}, "'2000' is no number of jobs (1 to 1024)"},
      {{"list", "-j", "2", "a.nvp"}, "'--jobs' goes with 'build' and 'check' only"},
      {{"verify", "--watch", "a.nvp"}, "'--watch' goes with 'build' and 'check' only"},
      {{"check", "-o", "x.nvp", "f"}, "'--output' goes with 'build' only"},
      {{"build", "--output=x.nvp", "a", "b"}, "'--output' goes with one folder only"},
      {{"build", "f", "-o"}, "'-o' needs a file name"},
      {{"build", "--output=", "f"}, "'--output' needs a file name"},
      {{"list", "-q", "a.nvp"}, "'--quiet' goes with 'build' and 'check' only"},
      {{"list"}, "'list' needs a package"},
      {{"list", "a.nvp", "b.nvp"}, "'list' takes only a package"},
      {{"verify"}, "'verify' needs a package"},
      {{"verify", "a.nvp", "b.nvp"}, "'verify' takes only a package"},
      {{"extract", "a.nvp"}, "'extract' needs a package and a folder"},
      {{"extract", "a.nvp", "out", "more"}, "'extract' takes only a package and a folder"},
      {{"extract", "a.nvp", "--", "-out"}, ""},
      {{"list", "--force", "a.nvp"}, "'--force' goes with 'extract' only"},
      {{"build", "--force", "f"}, "'--force' goes with 'extract' only"},
      {{"list", "--no-cache", "a.nvp"}, "'--no-cache' goes with 'build' and 'check' only"},
      {{"init", "--warnings-as-errors", "d"}, "'-W' goes with 'build' and 'check' only"},
      // Of two options misplaced, the one named is the same whatever their order.
      {{"list", "-j", "2", "--format=gnu", "a.nvp"}, "'--format' goes with 'check' only"},
      {{"list", "--format=gnu", "-j", "2", "a.nvp"}, "'--format' goes with 'check' only"},
      {{"cache"}, "'cache' needs 'clear'"},
      {{"cache", "empty"}, "unknown cache command 'empty' (the one there is: clear)"},
      {{"cache", "clear", "now"}, "'cache' takes only 'clear'"},
      {{"cache", "clear"}, ""},
  };
  for (const UsageCase& c : cases) {
    CommandLine line;
    std::string error;
    EXPECT_EQ(c.error.empty(), ParseCommandLine(c.args, &line, &error)) << c.error;
    EXPECT_EQ(c.error, error);
  }
}

TEST(CommandLineTest, JobsInEverySpelling) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"build", "-j", "3", "f"},
                                             {"build", "-j3", "f"},
                                             {"build", "f", "--jobs", "3"},
                                             {"build", "--jobs=3", "f"}}) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(args, &line, &error)) << error;
    EXPECT_EQ(3u, line.jobs);
    EXPECT_EQ(std::vector<std::string>{"f"}, line.operands);
  }
}

TEST(CommandLineTest, DoubleDashMakesLaterWordsOperands) {
  CommandLine line;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"build", "a", "--", "--help", "-"}, &line, &error));
  EXPECT_EQ(Command::Build, line.command);
  EXPECT_EQ((std::vector<std::string>{"a", "--help", "-"}), line.operands);
  EXPECT_FALSE(line.help);
}

TEST(CommandLineTest, FormatMayStandAnywhereBeforeDoubleDash) {
  CommandLine line;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"check", "a", "--format=gnu", "b"}, &line, &error));
  EXPECT_EQ(OutputFormat::Gnu, line.format);
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), line.operands);
  ASSERT_TRUE(ParseCommandLine({"check", "--", "--format=gnu"}, &line, &error));
  EXPECT_EQ(OutputFormat::Log, line.format);
  EXPECT_EQ((std::vector<std::string>{"--format=gnu"}), line.operands);
}

// -W in GCC's spellings, the last switch of a name deciding; every warning
// is on by default but unused-file; a name no warning has is refused with
// the nearest one.
TEST(CommandLineTest, WarningSwitches) {
  struct WarningCase {
    std::vector<std::string> args;
    std::string error;
    std::vector<std::string> on = {}, off = {};
    bool asErrors = false;
  };
  const WarningCase cases[] = {
      {{"check", "f"}, "", {"malformed-xml", "case-mismatch", "unreadable-file"}, {"unused-file"}},
      {{"check", "-W", "unused-file", "f"}, "", {"unused-file"}, {}},
      {{"check", "-Wunused-file", "f"}, "", {"unused-file"}, {}},
      {{"check", "-W", "no-case-mismatch", "f"}, "", {"malformed-xml"}, {"case-mismatch"}},
      {{"build", "-Wno-outside-link", "f"}, "", {"unlistable-folder"}, {"outside-link"}},
      {{"check", "-Wno-stray-file", "f", "-Wstray-file"}, "", {"stray-file"}, {}},
      {{"check", "-Wunused-file", "-Wno-unused-file", "f"}, "", {}, {"unused-file"}},
      {{"build", "-Werror", "f"}, "", {"not-a-layout"}, {"unused-file"}, true},
      {{"check", "-W", "error", "f"}, "", {}, {}, true},
      {{"build", "--warnings-as-errors", "f"}, "", {}, {}, true},
      {{"build", "-Werror", "-Wno-error", "f"}, "", {}, {}, false},
      {{"check", "-Wunsued-file", "f"},
       "unknown warning 'unsued-file' (did you mean 'unused-file'?)"},
      {{"check", "-W", "no-case-missmatch", "f"},
       "unknown warning 'case-missmatch' (did you mean 'case-mismatch'?)"},
      {{"check", "-Wall", "-Wno-stray-file", "f"},
       "",
       {"unused-file", "case-mismatch"},
       {"stray-file"}},
      {{"check", "-Wno-stray-file", "-Wall", "f"}, "", {"unused-file", "stray-file"}, {}},
      {{"check", "-Wno-", "f"}, "unknown warning '' (nvtheme --list-warnings lists them)"},
      {{"check", "f", "-W"}, "'-W' needs the name of a warning"},
      {{"list", "-Werror", "a.nvp"}, "'-W' goes with 'build' and 'check' only"},
      {{"verify", "-Wno-unused-file", "a.nvp"}, "'-W' goes with 'build' and 'check' only"},
  };
  for (const WarningCase& c : cases) {
    CommandLine line;
    std::string error;
    EXPECT_EQ(c.error.empty(), ParseCommandLine(c.args, &line, &error)) << c.args[1];
    EXPECT_EQ(c.error, error);
    if (!c.error.empty()) continue;
    for (const std::string& name : c.on) EXPECT_EQ(1u, line.warnings.count(name)) << name;
    for (const std::string& name : c.off) EXPECT_EQ(0u, line.warnings.count(name)) << name;
    EXPECT_EQ(c.asErrors, line.warningsAsErrors) << c.args[1];
  }
}

TEST(CommandLineTest, HelpAndVersionNeedNoCommand) {
  CommandLine line;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"--version"}, &line, &error));
  EXPECT_TRUE(line.version);
  ASSERT_TRUE(ParseCommandLine({"build", "--help"}, &line, &error));
  EXPECT_TRUE(line.help);
}

}  // namespace
}  // namespace nv
