// Watching real folders: what an author's editor does is seen, what a
// build does to read the folder is not.
#include "platform/folder_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "testing/temp_folder.h"

namespace nv {
namespace {

namespace fsys = std::filesystem;
using Event = FolderWatch::Event;

// Long enough for a loaded machine, and for Wine to pass the event on.
constexpr int kPatienceMs = 5000;
constexpr int kQuietMs = 300;

class FolderWatchTest : public testing::Test {
 protected:
  void SetUp() override { temp.Put("main.xml", "<themes/>"); }

  std::unique_ptr<FolderWatch> Watch(const std::string& folder) {
    std::string err;
    auto watch = WatchFolders(
        {folder}, [](const std::string& name) { return name == "theme.nvp"; }, &err);
    EXPECT_TRUE(watch) << err;
    return watch;
  }

  // Waits for a change, then for the folder to go quiet.
  Event NextChange(FolderWatch& watch) {
    std::string err;
    const Event first = watch.Wait(kPatienceMs, &err);
    EXPECT_NE(Event::Failed, first) << err;
    for (int i = 0; i < 20 && watch.Wait(kQuietMs, &err) == Event::Changed; ++i) {
    }
    return first;
  }

  TempFolder temp;
  const std::string& root = temp.Path();
};

struct Edit {
  const char* what;
  std::function<void(const std::string& folder)> apply;
};

TEST_F(FolderWatchTest, SeesEveryKindOfEditToTheFolder) {
  const Edit edits[] = {
      {"a new file", [](const std::string& f) { std::ofstream(f + "/new.png") << "x"; }},
      {"a file written",
       [](const std::string& f) { std::ofstream(f + "/main.xml", std::ios::app) << " "; }},
      {"a file saved by renaming over it",
       [](const std::string& f) {
         std::ofstream(f + "/main.xml.swp") << "<themes />";
         fsys::rename(f + "/main.xml.swp", f + "/main.xml");
       }},
      {"a file removed", [](const std::string& f) { fsys::remove(f + "/new.png"); }},
  };
  auto watch = Watch(root);
  for (const Edit& edit : edits) {
    edit.apply(root);
    EXPECT_EQ(Event::Changed, NextChange(*watch)) << edit.what;
  }
}

TEST_F(FolderWatchTest, ReadingTheFolderOrWritingAnIgnoredNameIsNoChange) {
  auto watch = Watch(root);
  temp.Put("theme.nvp", "a package");
  std::ifstream in(root + "/main.xml");
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ("<themes/>", text);
  for (const auto& entry : fsys::directory_iterator(root)) EXPECT_TRUE(entry.exists());
  std::string err;
  EXPECT_EQ(Event::Quiet, watch->Wait(kQuietMs, &err)) << err;
}

TEST_F(FolderWatchTest, AFolderMadeAfterTheWatchBeganIsWatched) {
  const std::string folder = root + "/theme";
  auto watch = Watch(folder);
  fsys::create_directory(folder);
  EXPECT_EQ(Event::Changed, NextChange(*watch)) << "made";
  std::ofstream(folder + "/main.xml") << "<themes/>";
  EXPECT_EQ(Event::Changed, NextChange(*watch)) << "written in";
}

TEST_F(FolderWatchTest, AFolderRemovedAndMadeAgainIsWatchedAgain) {
  if (kPathSeparator == '\\') GTEST_SKIP() << "Wine never ends the read of a removed folder";
  const std::string folder = root + "/theme";
  fsys::create_directory(folder);
  auto watch = Watch(folder);
  fsys::remove(folder);
  EXPECT_EQ(Event::Changed, NextChange(*watch)) << "removed";
  fsys::create_directory(folder);
  EXPECT_EQ(Event::Changed, NextChange(*watch)) << "made again";
  std::ofstream(folder + "/main.xml") << "<themes/>";
  EXPECT_EQ(Event::Changed, NextChange(*watch)) << "written in";
}

}  // namespace
}  // namespace nv
