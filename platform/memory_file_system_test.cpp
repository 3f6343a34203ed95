#include "platform/memory_file_system.h"

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
  ASSERT_TRUE(fs.ListFolder(std::string("t") + kPathSeparator, &names, &err));
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.xml", "b.png", "sub"}), names);
}

TEST(MemoryFileSystemTest, WrittenBytesAppearAndHeldFilesRefuseReaders) {
  MemoryFileSystem fs;
  std::string err;
  auto out = fs.CreateForWriting("pkg", &err);
  ASSERT_NE(nullptr, out);
  EXPECT_TRUE(out->Write("abc", 3, &err));
  EXPECT_FALSE(fs.IsReadableFile("pkg"));  // not shared while written
  EXPECT_TRUE(out->Close(&err));
  EXPECT_TRUE(fs.IsReadableFile("pkg"));
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
