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
