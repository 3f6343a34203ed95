// nvtheme init: the names it takes, the theme it makes, and what a failed
// one leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "package/entry_name.h"
#include "testing/command_fixture.h"
#include "testing/memory_file_system.h"

namespace nv {
namespace {

// Whatever name init takes gives a manifest that checks clean; one that
// cannot stand in it is refused, shown escaped, before anything is made.
TEST_F(NvthemeTest, InitTakesOnlyNamesThatCheckClean) {
  const std::string control = "a theme's name may hold no control byte but tab, LF and CR";
  const std::string notUtf8 = "a theme's name needs to be UTF-8, of characters XML allows";
  const struct {
    std::string name;
    std::string err;  // "" when taken
  } cases[] = {
      {"Sun & <Sea> \"'", ""},
      {"Tab\tLF\nCR\r", ""},
      {"\r\n", ""},
      {"Del\x7F", ""},
      {"Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8C\x8A \xC2\x85", ""},
      {"max \xF4\x8F\xBF\xBF", ""},
      {"Ctl\x01\x02X", "'Ctl\\x01\\x02X': " + control},
      {std::string("nul\0", 4), "'nul\\x00': " + control},
      {"Esc\x1B[2J", "'Esc\\x1B[2J': " + control},
      {"bad\xFF\xFE", "'bad\\xFF\\xFE': " + notUtf8},
      {"over\xC0\xAF", "'over\\xC0\\xAF': " + notUtf8},
      {"\xE0\x80\xAF", "'\\xE0\\x80\\xAF': " + notUtf8},
      {"\xED\xA0\x80", "'\\xED\\xA0\\x80': " + notUtf8},
      {"\xF4\x90\x80\x80", "'\\xF4\\x90\\x80\\x80': " + notUtf8},
      {"cut\xE2\x82", "'cut\\xE2\\x82': " + notUtf8},
      {"\x80lone", "'\\x80lone': " + notUtf8},
      {"\xEF\xBF\xBF", "'\\xEF\\xBF\\xBF': " + notUtf8},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string folder = "t" + std::to_string(++n);
    const std::string shown = EscapeText(c.name, Backslash::kSingle);
    if (!c.err.empty()) {
      EXPECT_EQ(1, Run({"init", "--name", c.name, folder})) << shown;
      EXPECT_EQ("nvtheme: " + c.err + "\n", err.str());
      std::string why;
      EXPECT_FALSE(fs.PathExists(folder, &why)) << shown;
      continue;
    }
    ASSERT_EQ(0, Run({"init", "--name", c.name, folder})) << shown << err.str();
    EXPECT_EQ(0, Run({"check", "--format=gnu", "-W", "unused-file", folder})) << shown;
    EXPECT_EQ("", out.str()) << shown;
  }
}

// init makes the folders it needs, as mkdir -p does; one that fails
// part-way, or throws, removes what it made: the folders it created are
// gone and one it found empty is empty again, for the next init.
TEST_F(NvthemeTest, FailedInitLeavesTheFolderAsItWas) {
  using Op = MemoryFileSystem::Op;
  for (const bool throws : {false, true}) {
    for (const bool existed : {false, true}) {
      for (int failAt = 1;; ++failAt) {
        MemoryFileSystem disk;
        const std::string theme = JoinPath("themes", "mine");  // the folders init makes, if missing
        if (existed) disk.AddFolder("themes");
        if (existed) disk.AddFolder(theme);
        int calls = 0;
        disk.before = [&](Op op, const std::string&) {
          if (op != Op::CreateNew && op != Op::Write && op != Op::Close) return true;
          if (++calls != failAt) return true;
          if (throws) throw std::runtime_error("thrown");
          return false;
        };
        int status = -1;
        try {
          status = RunNvtheme({"init", theme}, disk, out, err);
        } catch (const std::runtime_error&) {
        }
        if (calls < failAt) break;  // no call was failed: each has been
        const std::string at = std::to_string(failAt) + (throws ? " thrown" : " failed");
        EXPECT_EQ(throws ? -1 : 1, status) << at;
        disk.before = nullptr;
        std::string why;
        std::vector<std::string> names;
        EXPECT_EQ(existed, disk.PathExists("themes", &why)) << at;
        if (existed) disk.ListFolder(theme, &names, &why);
        const std::vector<std::string> empty = {".", ".."};
        EXPECT_EQ(existed ? empty : std::vector<std::string>(), names) << at;
        EXPECT_EQ(0, disk.OpenFiles()) << at;
      }
    }
  }
  MemoryFileSystem disk;
  EXPECT_EQ(0, RunNvtheme({"init", JoinPath("themes", "mine")}, disk, out, err)) << err.str();
}

// A theme that init makes passes the check with nothing to say, packs, and
// is made only where nothing would be overwritten.
TEST_F(RoundTripTest, InitMakesAThemeThatChecksCleanAndPacks) {
  const std::string made = (work / "new").string();
  EXPECT_EQ(0, Run({"init", "--name", "Sun & Sea", made}));
  EXPECT_NE(std::string::npos, err.str().find("nvtheme check " + made));
  std::ifstream manifest(JoinPath(made, "main.xml"));
  const std::string text{std::istreambuf_iterator<char>(manifest), {}};
  EXPECT_NE(std::string::npos, text.find("name=\"Sun &amp; Sea\""));
  EXPECT_EQ(0, Run({"check", "--format=gnu", "-W", "unused-file", made}));
  EXPECT_EQ("", out.str());
  EXPECT_EQ(0, Run({"build", made}));

  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } refused[] = {
      {{"init", made},
       1,
       "nvtheme: " + made + ": it is not empty: init writes only into a new or empty folder\n"},
      {{"init", "--name", "X", (work / "other").string()},
       1,
       "nvtheme: 'X': a theme's name needs 2 bytes at least\n"},
      {{"build", "--name", "Day", made},
       2,
       "nvtheme: '--name' goes with 'init' only\nTry 'nvtheme --help' for more "
       "information.\n"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(c.status, Run(c.args)) << c.args[1];
    EXPECT_EQ(c.err, err.str());
  }
  EXPECT_EQ(
      text,
      std::string(std::istreambuf_iterator<char>(std::ifstream(JoinPath(made, "main.xml")).rdbuf()),
                  {}));
  EXPECT_FALSE(fsys::exists(work / "other"));
}

}  // namespace
}  // namespace nv
