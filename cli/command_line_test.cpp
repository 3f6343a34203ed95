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
      {{"check", "--format=xml", "f"}, "unknown format 'xml' (the one format is gnu)"},
      {{"check", "--format=", "f"}, "unknown format '' (the one format is gnu)"},
      {{"check", "--format", "gnu", "f"}, "'--format' needs a value, as in --format=gnu"},
      {{"build", "--format=gnu", "f"}, "'--format' goes with 'check' only"},
      {{"build", "-j"}, "'-j' needs a number"},
      {{"build", "-j", "0", "f"}, "'0' is no number of jobs (1 to 1024)"},
      {{"build", "--jobs=x", "f"}, "'x' is no number of jobs (1 to 1024)"},
      {{"build", "-j2000", "f"}, "'2000' is no number of jobs (1 to 1024)"},
      {{"check", "-j", "2", "f"}, "'--jobs' goes with 'build' only"},
      {{"list"}, "'list' needs a package"},
      {{"list", "a.nvp", "b.nvp"}, "'list' takes only a package"},
      {{"verify"}, "'verify' needs a package"},
      {{"verify", "a.nvp", "b.nvp"}, "'verify' takes only a package"},
      {{"extract", "a.nvp"}, "'extract' needs a package and a folder"},
      {{"extract", "a.nvp", "out", "more"}, "'extract' takes only a package and a folder"},
      {{"extract", "a.nvp", "--", "-out"}, ""},
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
  EXPECT_EQ("build", line.command);
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
