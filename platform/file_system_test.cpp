#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

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
  std::string err;
  EXPECT_TRUE(fs.IsReadableFile(file, &err));
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
  EXPECT_TRUE(fs.PathExists(root, &err));
  EXPECT_TRUE(fs.PathExists(file, &err));
  EXPECT_FALSE(fs.PathExists(JoinPath(root, "none.png"), &err));
}

// Every call that fails says so alike: false, and in *err the operation the
// system refused and the system's reason.
TEST_F(RealFileSystemTest, CallsOnAMissingPathSayWhyInTheSystemsWords) {
  const std::string none = JoinPath(root, "none.png");
  const bool windows = kPlatformNameRules == NameRules::kWindows;
  const struct {
    const char* call;
    const char* operation;  // as the platform names it
    std::function<bool(std::string*)> run;
  } calls[] = {
      {"PathExists", windows ? "PathFileExistsA" : "stat",
       [&](std::string* err) { return fs.PathExists(none, err); }},
      {"IsReadableFile", windows ? "CreateFileA" : "open",
       [&](std::string* err) { return fs.IsReadableFile(none, err); }},
      {"LeadsOutside", windows ? "CreateFileA" : "realpath",
       [&](std::string* err) {
         std::string target;
         return fs.LeadsOutside(root, none, &target, err);
       }},
      {"Identify", windows ? "CreateFileA" : "stat",
       [&](std::string* err) {
         FileIdentity id;
         return fs.Identify(none, &id, err);
       }},
      {"FileSize", windows ? "GetFileAttributesExA" : "stat",
       [&](std::string* err) {
         uint64_t size = 0;
         return fs.FileSize(none, &size, err);
       }},
      {"OpenForReading", windows ? "CreateFileA" : "open",
       [&](std::string* err) { return fs.OpenForReading(none, Sharing::kRead, err) != nullptr; }},
      {"RemoveFile", windows ? "DeleteFileA" : "unlink",
       [&](std::string* err) { return fs.RemoveFile(none, err); }},
      {"RemoveFolder", windows ? "RemoveDirectoryA" : "rmdir",
       [&](std::string* err) { return fs.RemoveFolder(none, err); }},
  };
  for (const auto& c : calls) {
    std::string err;
    EXPECT_FALSE(c.run(&err)) << c.call;
    const std::string said = std::string(c.operation) + ": ";
    EXPECT_EQ(0u, err.find(said)) << c.call << ": " << err;
    EXPECT_LT(said.size(), err.size()) << c.call << ": no reason";
  }
}

TEST_F(RealFileSystemTest, WritesAndReadsBack) {
  std::string path = JoinPath(root, "out.bin");
  std::string err;
  auto out = fs.CreateForWriting(path, &err);
  ASSERT_NE(nullptr, out) << err;
  ASSERT_TRUE(out->Write("a\r\nb\0c", 6, &err)) << err;
  ASSERT_TRUE(out->Sync(&err)) << err;
  ASSERT_TRUE(out->Close(&err)) << err;

  auto in = fs.OpenForReading(path, Sharing::kRead, &err);
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
  EXPECT_FALSE(fs.PathExists(from, &err));
  std::ifstream in(to, std::ios::binary);
  EXPECT_EQ("new", std::string(std::istreambuf_iterator<char>(in), {}));
}

// What the build cache must know of the last package it reads: whether
// another build may move its package over it meanwhile (what is read then
// stays the old), or only once it is closed.
TEST_F(RealFileSystemTest, AFileReadSharingRemovalMayBeReplacedWhereTheSystemLets) {
  const std::string to = Put("pkg.nvp", "old");
  std::string err;
  auto in = fs.OpenForReading(to, Sharing::kReadDelete, &err);
  ASSERT_NE(nullptr, in) << err;
  const std::string from = Put("new.tmp", "new");
  EXPECT_EQ(!kOpenFilesHoldOffReplacing, fs.MoveOver(from, to, &err)) << err;
  char buffer[8];
  size_t got = 0;
  ASSERT_TRUE(in->Read(buffer, sizeof buffer, &got, &err)) << err;
  EXPECT_EQ("old", std::string(buffer, got));
  in.reset();
  ASSERT_TRUE(!kOpenFilesHoldOffReplacing || fs.MoveOver(from, to, &err)) << err;
  std::ifstream now(to, std::ios::binary);
  EXPECT_EQ("new", std::string(std::istreambuf_iterator<char>(now), {}));
}

TEST_F(RealFileSystemTest, RemovesOnlyAnEmptyFolder) {
  const std::string folder = JoinPath(root, "sub");
  fsys::create_directory(folder);
  const std::string file = Put(JoinPath("sub", "a.png"), "kept");
  std::string err;
  EXPECT_FALSE(fs.RemoveFolder(folder, &err));
  EXPECT_TRUE(fs.PathExists(file, &err)) << err;
  ASSERT_TRUE(fs.RemoveFile(file, &err)) << err;
  EXPECT_TRUE(fs.RemoveFolder(folder, &err)) << err;
  EXPECT_FALSE(fsys::exists(folder));
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

// A stamp the listing gives must be the one Stamp gives, or the build
// cache would take every file for changed, or worse, an unchanged one.
TEST_F(RealFileSystemTest, ListedEntriesAreStampedAsStampSays) {
  Put("a.xml", "four");
  fsys::create_directory(JoinPath(root, "sub"));
  std::vector<ListedEntry> entries;
  std::string err;
  ASSERT_EQ(ListResult::kComplete, fs.ListEntries(root, &entries, &err)) << err;
  std::vector<std::string> names;
  for (const ListedEntry& entry : entries) {
    names.push_back(entry.name);
    FileStamp stamp;
    if (!entry.stamped) continue;
    EXPECT_EQ(ListedEntry::Kind::kFile, entry.kind) << entry.name;
    ASSERT_TRUE(fs.Stamp(JoinPath(root, entry.name), &stamp, &err)) << err;
    EXPECT_TRUE(stamp == entry.stamp) << entry.name;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{".", "..", "a.xml", "sub"}), names);
  for (const ListedEntry& entry : entries)
    if (entry.name == "sub")
      EXPECT_TRUE(entry.kind == ListedEntry::Kind::kFolder ||
                  entry.kind == ListedEntry::Kind::kUnknown);
}

TEST_F(RealFileSystemTest, IdentifiesOneFileUnderTwoSpellings) {
  std::string file = Put("a", "");
  FileIdentity a, b, c;
  std::string err;
  ASSERT_TRUE(fs.Identify(file, &a, &err)) << err;
  ASSERT_TRUE(fs.Identify(JoinPath(JoinPath(root, "."), "a"), &b, &err)) << err;
  ASSERT_TRUE(fs.Identify(Put("b", ""), &c, &err)) << err;
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
}

// A file written over in place, its size kept and its modification time
// set back, still has another stamp: the change time cannot be set back.
TEST_F(RealFileSystemTest, StampTellsAFileWrittenOverWithItsTimeSetBack) {
  const std::string file = Put("a.png", "first");
  FileStamp before, open, after;
  std::string err;
  ASSERT_TRUE(fs.Stamp(file, &before, &err)) << err;
  {
    auto in = fs.OpenForReading(file, Sharing::kRead, &err);
    ASSERT_NE(nullptr, in) << err;
    ASSERT_TRUE(in->Stamp(&open, &err)) << err;
  }
  EXPECT_TRUE(before == open);
  EXPECT_EQ(5u, before.size);
  const auto written = fsys::last_write_time(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // past the clock's tick
  std::ofstream(file, std::ios::binary) << "other";
  fsys::last_write_time(file, written);
  ASSERT_TRUE(fs.Stamp(file, &after, &err)) << err;
  EXPECT_LE(after.modified, before.modified);  // set back as far as the system can set it
  EXPECT_TRUE(before.identity == after.identity);
  EXPECT_LT(before.changed, after.changed);
  EXPECT_FALSE(before == after);
}

TEST_F(RealFileSystemTest, FullPathIsOneForEverySpelling) {
  fsys::create_directory(JoinPath(root, "sub"));
  std::string direct, roundabout, err;
  ASSERT_TRUE(fs.FullPath(JoinPath(root, "a.nvp"), &direct, &err)) << err;
  const std::string spelt = JoinPath(JoinPath(JoinPath(root, "sub"), ".."), "a.nvp");
  ASSERT_TRUE(fs.FullPath(spelt, &roundabout, &err)) << err;
  EXPECT_EQ(direct, roundabout);
  EXPECT_EQ(fsys::path(direct).filename().string(), "a.nvp");
  EXPECT_TRUE(fsys::path(direct).is_absolute()) << direct;
}

}  // namespace
}  // namespace nv
