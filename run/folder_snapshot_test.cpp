// One look at a folder: what the run is told once, what it asks the disk
// again, and a listing that failed told as it failed.
#include "run/folder_snapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "testing/memory_file_system.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

using Op = MemoryFileSystem::Op;

class FolderSnapshotTest : public testing::Test {
 protected:
  FolderSnapshotTest() {
    disk.AddFolder("ocean");
    disk.AddFile(a, "first");
    disk.before = [this](Op op, const std::string& path) {
      ++asked[std::string(MemoryFileSystem::NameOf(op)) + " " + path];
      return !failing.count(op);
    };
  }

  MemoryFileSystem disk;
  const std::string a = JoinPath("ocean", "a.png");
  std::map<std::string, int> asked;
  std::set<Op> failing;
  std::string err;
};

TEST_F(FolderSnapshotTest, AFileIsTestedAndStampedOnce) {
  FolderSnapshot snapshot(disk, "ocean");
  FileStamp stamp;
  uint64_t size = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(snapshot.IsReadableFile(a, &err)) << err;
    EXPECT_TRUE(snapshot.Stamp(a, &stamp, &err)) << err;
    EXPECT_TRUE(snapshot.FileSize(a, &size, &err)) << err;
  }
  EXPECT_EQ(5u, size);
  EXPECT_EQ(1, asked["IsReadableFile " + a]);
  EXPECT_EQ(1, asked["Stamp " + a]);
}

// The package moved over an entry of the folder is stamped anew: a stamp
// kept from the listing would keep the build cache from remembering it.
TEST_F(FolderSnapshotTest, AnEntryChangedThroughItIsAskedOfTheDiskAgain) {
  FolderSnapshot snapshot(disk, "ocean");
  FileStamp before, after;
  ASSERT_TRUE(snapshot.Stamp(a, &before, &err)) << err;
  auto file = snapshot.CreateNew(JoinPath("ocean", "b.tmp"), &err);
  ASSERT_TRUE(file && file->Write("second!", 7, &err) && file->Close(&err)) << err;
  ASSERT_TRUE(snapshot.MoveOver(JoinPath("ocean", "b.tmp"), a, &err)) << err;
  ASSERT_TRUE(snapshot.Stamp(a, &after, &err)) << err;
  EXPECT_EQ(7u, after.size);
  EXPECT_FALSE(before.identity == after.identity);
}

TEST_F(FolderSnapshotTest, AListingThatFailedIsToldAsItFailed) {
  failing = {Op::ListFolder};
  FolderSnapshot snapshot(disk, "ocean");
  failing.clear();
  std::vector<std::string> names;
  EXPECT_EQ(ListResult::kNotStarted, snapshot.ListFolder("ocean", &names, &err));
  EXPECT_EQ(disk.faultText, err.substr(err.size() - disk.faultText.size()));
  EXPECT_EQ(1, asked["ListFolder ocean"]);
}

// A file held from its test is read as the test found it, though it is
// removed meanwhile; past the number held, a file is opened again.
TEST(FolderSnapshotOnDiskTest, AFileHeldFromItsTestIsTheOneRead) {
  if (kOpenFilesHoldOffReplacing) GTEST_SKIP() << "no file is held where that keeps others out";
  TempFolder temp;
  const std::string a = temp.Put("a.png", "first"), b = temp.Put("b.png", "second");
  FolderSnapshot snapshot(RealFileSystem(), temp.Path(), 1);
  std::string err;
  ASSERT_TRUE(snapshot.IsReadableFile(a, &err)) << err;
  ASSERT_TRUE(snapshot.IsReadableFile(b, &err)) << err;
  std::filesystem::remove(a);
  std::filesystem::remove(b);
  std::unique_ptr<File> held = snapshot.OpenForReading(a, Sharing::kRead, &err);
  ASSERT_NE(nullptr, held) << err;
  char bytes[8];
  size_t got = 0;
  ASSERT_TRUE(held->Read(bytes, sizeof bytes, &got, &err)) << err;
  EXPECT_EQ("first", std::string(bytes, got));
  EXPECT_EQ(nullptr, snapshot.OpenForReading(a, Sharing::kRead, &err));  // held once
  EXPECT_EQ(nullptr, snapshot.OpenForReading(b, Sharing::kRead, &err));
}

}  // namespace
}  // namespace nv
