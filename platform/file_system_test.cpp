#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "testing/temp_folder.h"

namespace nv {
namespace {

namespace fsys = std::filesystem;

class RealFileSystemTest : public testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& bytes) {
    return temp.Put(name, bytes);
  }

  TempFolder temp;
  const std::string& root = temp.Path();
  FileSystem& fs = RealFileSystem();
};

TEST(JoinPathTest, AddsExactlyOneSeparator) {
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ("a" + sep + "b", JoinPath("a", "b"));
  EXPECT_EQ("a" + sep + sep + "b", JoinPath("a" + sep, "b"));
  EXPECT_EQ("a" + sep, JoinPath("a", ""));
}

struct StripCase {
  std::string path;
  std::string posix;    // as POSIX strips it
  std::string windows;  // as Windows strips it
};

TEST(StripTrailingSeparatorsTest, StripsAllButARoot) {
  const StripCase cases[] = {
      {"themes/ocean", "themes/ocean", "themes/ocean"},
      {"themes/ocean/", "themes/ocean", "themes/ocean"},
      {"themes/ocean///", "themes/ocean", "themes/ocean"},
      {"ocean/.", "ocean/.", "ocean/."},
      {"/", "/", "/"},
      {"//", "//", "//"},
      {"D:\\themes\\ocean\\", "D:\\themes\\ocean\\", "D:\\themes\\ocean"},
      {"D:\\themes\\ocean\\/", "D:\\themes\\ocean\\", "D:\\themes\\ocean"},
      {"D:\\", "D:\\", "D:\\"},
      {"D:/", "D:", "D:/"},
      {"\\", "\\", "\\"},
      {"\\\\server\\share\\", "\\\\server\\share\\", "\\\\server\\share\\"},
      {"\\\\server\\share\\ocean\\", "\\\\server\\share\\ocean\\", "\\\\server\\share\\ocean"},
      {"\\\\?\\D:\\", "\\\\?\\D:\\", "\\\\?\\D:\\"},
      {"", "", ""},
  };
  const bool windows = kPlatformNameRules == NameRules::kWindows;
  for (const StripCase& c : cases)
    EXPECT_EQ(windows ? c.windows : c.posix, StripTrailingSeparators(c.path)) << c.path;
}

TEST_F(RealFileSystemTest, ReadableFileTest) {
  std::string file = Put("a.png", "png");
  EXPECT_TRUE(fs.IsReadableFile(file, nullptr));
  // Why not: nothing for a folder, which is no file at all; the system's
  // words for the rest.
  const struct {
    std::string path;
    bool said;
  } unreadable[] = {{root, false}, {JoinPath(root, "none.png"), true}, {JoinPath(root, ""), false}};
  for (const auto& c : unreadable) {
    std::string why = "stale";
    EXPECT_FALSE(fs.IsReadableFile(c.path, &why)) << c.path;
    EXPECT_EQ(c.said, !why.empty()) << c.path << ": " << why;
  }
  EXPECT_TRUE(fs.PathExists(root));
  EXPECT_TRUE(fs.PathExists(file));
  EXPECT_FALSE(fs.PathExists(JoinPath(root, "none.png")));
}

TEST_F(RealFileSystemTest, WritesAndReadsBack) {
  std::string path = JoinPath(root, "out.bin");
  std::string err;
  auto out = fs.CreateForWriting(path, &err);
  ASSERT_NE(nullptr, out) << err;
  ASSERT_TRUE(out->Write("a\r\nb\0c", 6, &err)) << err;
  ASSERT_TRUE(out->Sync(&err)) << err;
  ASSERT_TRUE(out->Close(&err)) << err;

  auto in = fs.OpenForReading(path, false, &err);
  ASSERT_NE(nullptr, in) << err;
  uint64_t size = 0;
  ASSERT_TRUE(in->Size(&size, &err));
  EXPECT_EQ(6u, size);
  char buffer[16];
  size_t got = 0;
  ASSERT_TRUE(in->Read(buffer, sizeof buffer, &got, &err));
  EXPECT_EQ(std::string("a\r\nb\0c", 6), std::string(buffer, got));

  ASSERT_TRUE(in->Seek(3, &err)) << err;
  ASSERT_TRUE(in->Read(buffer, sizeof buffer, &got, &err));
  EXPECT_EQ(std::string("b\0c", 3), std::string(buffer, got));
  ASSERT_TRUE(in->Seek(100, &err)) << err;  // past the end: reads find nothing
  ASSERT_TRUE(in->Read(buffer, sizeof buffer, &got, &err));
  EXPECT_EQ(0u, got);
}

// As Windows does for a file opened without sharing, and as POSIX does for
// another that asks for the same lock: a second writer is refused, and the
// file is not emptied under the first.
TEST_F(RealFileSystemTest, FileBeingWrittenIsRefusedToASecondWriter) {
  const std::string path = JoinPath(root, "pkg.tmp");
  std::string err;
  auto first = fs.CreateForWriting(path, &err);
  ASSERT_NE(nullptr, first) << err;
  ASSERT_TRUE(first->Write("first", 5, &err)) << err;
  EXPECT_EQ(nullptr, fs.CreateForWriting(path, &err));
  EXPECT_FALSE(err.empty());
  ASSERT_TRUE(first->Close(&err)) << err;
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ("first", std::string(std::istreambuf_iterator<char>(in), {}));
  in.close();
  auto second = fs.CreateForWriting(path, &err);
  ASSERT_NE(nullptr, second) << err;  // once closed, it is anyone's again
  EXPECT_TRUE(second->Close(&err));
  EXPECT_EQ(0u, fsys::file_size(path));
}

TEST_F(RealFileSystemTest, CreateNewRefusesAnExistingFile) {
  std::string path = Put("x", "old");
  std::string err;
  EXPECT_EQ(nullptr, fs.CreateNew(path, &err));
  EXPECT_FALSE(err.empty());
}

TEST_F(RealFileSystemTest, MoveOverReplacesTheTarget) {
  std::string from = Put("new.tmp", "new");
  std::string to = Put("pkg.nvp", "old");
  std::string err;
  ASSERT_TRUE(fs.MoveOver(from, to, &err)) << err;
  EXPECT_FALSE(fs.PathExists(from));
  std::ifstream in(to, std::ios::binary);
  EXPECT_EQ("new", std::string(std::istreambuf_iterator<char>(in), {}));
}

TEST_F(RealFileSystemTest, ListsEveryEntry) {
  Put("b.png", "");
  Put("a.xml", "");
  fsys::create_directory(JoinPath(root, "sub"));
  std::vector<std::string> names;
  std::string err;
  ASSERT_EQ(ListResult::kComplete, fs.ListFolder(root, &names, &err)) << err;
  std::sort(names.begin(), names.end());  // Windows lists in its own order
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.xml", "b.png", "sub"}), names);
  EXPECT_EQ(ListResult::kNotStarted, fs.ListFolder(JoinPath(root, "none"), &names, &err));
  EXPECT_TRUE(names.empty());
}

TEST_F(RealFileSystemTest, IdentifiesOneFileUnderTwoSpellings) {
  std::string file = Put("a", "");
  FileIdentity a, b, c;
  ASSERT_TRUE(fs.Identify(file, &a));
  ASSERT_TRUE(fs.Identify(JoinPath(JoinPath(root, "."), "a"), &b));
  ASSERT_TRUE(fs.Identify(Put("b", ""), &c));
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
}

}  // namespace
}  // namespace nv
