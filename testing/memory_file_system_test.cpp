#include "testing/memory_file_system.h"

#include <gtest/gtest.h>

namespace nv {
namespace {

TEST(MemoryFileSystemTest, ListsDirectEntriesSorted) {
  MemoryFileSystem fs;
  fs.AddFolder("t");
  fs.AddFile(JoinPath("t", "b.png"), "b");
  fs.AddFile(JoinPath("t", "a.xml"), "a");
  fs.AddFolder(JoinPath("t", "sub"));
  fs.AddFile(JoinPath(JoinPath("t", "sub"), "deep.png"), "d");
  std::vector<std::string> names;
  std::string err;
  ASSERT_EQ(ListResult::kComplete, fs.ListFolder(std::string("t") + kPathSeparator, &names, &err));
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.xml", "b.png", "sub"}), names);
  ASSERT_EQ(ListResult::kComplete, fs.ListFolder(JoinPath("t", "."), &names, &err));
  EXPECT_EQ(5u, names.size());
}

TEST(MemoryFileSystemTest, ListingFailsAtTheStartOrPartWay) {
  MemoryFileSystem fs;
  fs.AddFolder("t");
  fs.AddFile(JoinPath("t", "a.xml"), "a");
  fs.AddFile(JoinPath("t", "b.png"), "b");
  std::vector<std::string> names;
  std::string err;
  EXPECT_EQ(ListResult::kNotStarted, fs.ListFolder("none", &names, &err));
  fs.before = [](MemoryFileSystem::Op op, const std::string& path) {
    return !(op == MemoryFileSystem::Op::ListEntry && path == JoinPath("t", "b.png"));
  };
  EXPECT_EQ(ListResult::kFailedPartWay, fs.ListFolder("t", &names, &err));
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.xml"}), names);
  fs.before = [](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::List;
  };
  EXPECT_EQ(ListResult::kNotStarted, fs.ListFolder("t", &names, &err));
  EXPECT_TRUE(names.empty());
}

TEST(MemoryFileSystemTest, DotStepsNameTheSameFile) {
  MemoryFileSystem fs;
  fs.AddFolder("t");
  fs.AddFile(JoinPath("t", "a"), "a");
  FileIdentity a, b, c;
  std::string err;
  ASSERT_TRUE(fs.Identify(JoinPath(JoinPath("t", "."), "a"), &a, &err));
  ASSERT_TRUE(fs.Identify(JoinPath("t", "a"), &b, &err));
  ASSERT_TRUE(fs.Identify("t", &c, &err));
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
}

TEST(MemoryFileSystemTest, ApparentSizeAndSeek) {
  MemoryFileSystem fs;
  fs.AddFile("big", "abcdef");
  fs.SetApparentSize("big", uint64_t{5} << 32);
  std::string err;
  auto in = fs.OpenForReading("big", false, &err);
  uint64_t size = 0;
  ASSERT_TRUE(in->Size(&size, &err));
  EXPECT_EQ(uint64_t{5} << 32, size);
  ASSERT_TRUE(in->Seek(4, &err));
  char buffer[8];
  size_t got = 0;
  ASSERT_TRUE(in->Read(buffer, sizeof buffer, &got, &err));
  EXPECT_EQ("ef", std::string(buffer, got));
}

TEST(MemoryFileSystemTest, WrittenBytesAppearAndHeldFilesRefuseReaders) {
  MemoryFileSystem fs;
  std::string err;
  auto out = fs.CreateForWriting("pkg", &err);
  ASSERT_NE(nullptr, out);
  EXPECT_TRUE(out->Write("abc", 3, &err));
  EXPECT_FALSE(fs.IsReadableFile("pkg", &err));  // not shared while written
  EXPECT_TRUE(out->Close(&err));
  EXPECT_TRUE(fs.IsReadableFile("pkg", &err));
  EXPECT_EQ("abc", fs.Contents("pkg"));
  EXPECT_EQ(nullptr, fs.CreateNew("pkg", &err));
  EXPECT_EQ(0, fs.OpenFiles());
}

TEST(MemoryFileSystemTest, HookMakesCallsFail) {
  MemoryFileSystem fs;
  fs.AddFile("a", "data");
  fs.before = [](MemoryFileSystem::Op op, const std::string&) {
    return op != MemoryFileSystem::Op::Read;
  };
  std::string err;
  auto in = fs.OpenForReading("a", false, &err);
  ASSERT_NE(nullptr, in);
  char buffer[4];
  size_t got = 9;
  EXPECT_FALSE(in->Read(buffer, 4, &got, &err));
  EXPECT_EQ(0u, got);
  EXPECT_EQ("injected fault", err);
}

}  // namespace
}  // namespace nv
