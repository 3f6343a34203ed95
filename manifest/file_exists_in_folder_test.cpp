#include "manifest/file_exists_in_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/temp_folder.h"

namespace nv {
namespace {

TEST(FileExistsInFolderTest, NameIsAppendedToTheFolderUnchanged) {
  TempFolder theme;
  theme.Put("shot.png", "png");
  std::filesystem::create_directory(JoinPath(theme.Path(), "img"));
  theme.Put(JoinPath("img", "night.png"), "png");
  const std::string sep(1, kPathSeparator);
  FileSystem& fs = RealFileSystem();

  EXPECT_TRUE(FileExistsInFolder(fs, theme.Path(), "shot.png"));
  EXPECT_TRUE(FileExistsInFolder(fs, theme.Path() + sep, "shot.png"));
  EXPECT_TRUE(FileExistsInFolder(fs, theme.Path(), JoinPath("img", "night.png")));
  EXPECT_TRUE(FileExistsInFolder(fs, JoinPath(theme.Path(), "img"), JoinPath("..", "shot.png")));
  EXPECT_FALSE(FileExistsInFolder(fs, theme.Path(), "none.png"));
  EXPECT_FALSE(FileExistsInFolder(fs, theme.Path(), ""));
  EXPECT_FALSE(FileExistsInFolder(fs, theme.Path(), "img"));
}

}  // namespace
}  // namespace nv
