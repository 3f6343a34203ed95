#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/file_system.h"
#include "platform/temp_folder.h"

namespace nv {
namespace {

class PosixReadableFileTest : public testing::Test {
 protected:
  TempFolder temp;
  FileSystem& fs = RealFileSystem();
};

TEST_F(PosixReadableFileTest, NamedPipeCountsAsMissingWithoutWaiting) {
  const std::string pipe = JoinPath(temp.Path(), "shot.png");
  ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0666));
  // Opening a pipe for reading waits for a writer; should the test ever do
  // so, the alarm ends the process instead of hanging the suite.
  ::alarm(10);
  EXPECT_FALSE(fs.IsReadableFile(pipe));
  std::string err;
  EXPECT_EQ(nullptr, fs.OpenForReading(pipe, true, &err));
  ::alarm(0);
}

TEST_F(PosixReadableFileTest, SymbolicLinksCountAsWhatTheyPointAt) {
  const std::string file = temp.Put("real.png", "png");
  const std::string dangling = JoinPath(temp.Path(), "dangling.png");
  const std::string toFile = JoinPath(temp.Path(), "link.png");
  const std::string toFolder = JoinPath(temp.Path(), "folder-link");
  ASSERT_EQ(0, ::symlink("nowhere.png", dangling.c_str()));
  ASSERT_EQ(0, ::symlink("real.png", toFile.c_str()));
  ASSERT_EQ(0, ::symlink(".", toFolder.c_str()));
  EXPECT_FALSE(fs.IsReadableFile(dangling));
  EXPECT_TRUE(fs.IsReadableFile(toFile));
  EXPECT_FALSE(fs.IsReadableFile(toFolder));
  EXPECT_TRUE(fs.IsReadableFile(file));
}

TEST_F(PosixReadableFileTest, DevicesCountAsMissing) {
  EXPECT_FALSE(fs.IsReadableFile("/dev/null"));
  EXPECT_FALSE(fs.IsReadableFile("/dev/zero"));
}

TEST(PosixCreateForWritingTest, LinkAtThePathIsNotWrittenThrough) {
  TempFolder temp;
  const std::string target = temp.Put("target.txt", "kept");
  const std::string link = JoinPath(temp.Path(), "pkg.tmp");
  ASSERT_EQ(0, ::symlink(target.c_str(), link.c_str()));
  std::string err;
  EXPECT_EQ(nullptr, RealFileSystem().CreateForWriting(link, &err));
  EXPECT_FALSE(err.empty());
  std::ifstream in(target, std::ios::binary);
  EXPECT_EQ("kept", std::string(std::istreambuf_iterator<char>(in), {}));
}

}  // namespace
}  // namespace nv
