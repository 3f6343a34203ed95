#include "cli/nvtheme.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/memory_file_system.h"

namespace nv {
namespace {

class NvthemeTest : public testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunNvtheme(args, fs, out, err);
  }

  MemoryFileSystem fs;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(NvthemeTest, VersionAndHelp) {
  EXPECT_EQ(0, Run({"--version"}));
  EXPECT_EQ("nvtheme 1.0.0.1\n", out.str());
  EXPECT_EQ(0, Run({"--help"}));
  EXPECT_EQ(0u, out.str().find("Usage: nvtheme COMMAND"));
  EXPECT_EQ("", err.str());
}

TEST_F(NvthemeTest, UsageErrorExitsTwo) {
  EXPECT_EQ(2, Run({"build"}));
  EXPECT_EQ("nvtheme: 'build' needs a folder\nTry 'nvtheme --help' for more information.\n",
            err.str());
  EXPECT_EQ("", out.str());
  EXPECT_EQ(2, Run({"frobnicate"}));
}

TEST_F(NvthemeTest, MissingFolderIsReportedAndSkipped) {
  fs.AddFolder("ocean");
  fs.AddFile(JoinPath("ocean", "main.xml"), "<nuvarinepackage/>");
  EXPECT_EQ(1, Run({"build", "nowhere", "ocean"}));
  EXPECT_EQ("nvtheme: nowhere: no such file or folder\n", err.str());
  EXPECT_EQ("\r\nProcessing ocean ...\r\nProcessing " + JoinPath("ocean", "main.xml") +
                " ... succeeded.\r\n\r\n"
                "\r\nPacking files ...\r\n1, main.xml\r\n"
                "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><files>"
                "<file filename=\"main.xml\" id=\"1\" /></files>\r\n\r\n"
                "ocean.nvp successfully created.\r\n"
                "\r\nProcess completed successfully\r\n"
                "\r\nPlease record down this operation log for future reference (Optional).\r\n",
            out.str());
  EXPECT_TRUE(fs.HasFile("ocean.nvp"));
}

TEST_F(NvthemeTest, FailedRunExitsOne) {
  fs.AddFolder("ocean");
  EXPECT_EQ(1, Run({"build", "ocean"}));
  EXPECT_NE(std::string::npos, out.str().find("... failed\r\n"));
}

}  // namespace
}  // namespace nv
