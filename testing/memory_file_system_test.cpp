#include "testing/memory_file_system.h"

#include <gtest/gtest.h>

#include <functional>

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
    return op != MemoryFileSystem::Op::ListFolder;
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
  auto in = fs.OpenForReading("big", Sharing::kRead, &err);
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

// The hook is asked before every call, by the call's own name, and a call
// it fails says so as any other failure does, in the words it was given.
// As rmdir does: a folder goes only once nothing is left in it.
TEST(MemoryFileSystemTest, RemovesOnlyAnEmptyFolder) {
  MemoryFileSystem fs;
  fs.AddFolder("t");
  fs.AddFolder(JoinPath("t", "sub"));
  fs.AddFile(JoinPath("t", "a"), "");
  std::string err, absent;
  EXPECT_FALSE(fs.RemoveFolder("t", &err));
  EXPECT_EQ("not empty", err);
  EXPECT_TRUE(fs.RemoveFolder(JoinPath("t", "sub"), &err)) << err;
  EXPECT_TRUE(fs.RemoveFile(JoinPath("t", "a"), &err)) << err;
  EXPECT_TRUE(fs.RemoveFolder("t", &err)) << err;
  EXPECT_FALSE(fs.PathExists("t", &absent));
  EXPECT_FALSE(fs.RemoveFolder("t", &err));
}

// Everything is the user's alone until a test gives it to another user;
// an open file answers for itself, whatever its path names since.
TEST(MemoryFileSystemTest, ForeignFilesAndFoldersAreNotPrivate) {
  MemoryFileSystem fs;
  const std::string folder = "t", mine = JoinPath("t", "mine"), theirs = JoinPath("t", "theirs");
  fs.AddFolder(folder);
  fs.AddFile(mine, "mine");
  fs.AddFile(theirs, "theirs");
  std::string err;
  EXPECT_TRUE(fs.IsPrivate(folder, &err)) << err;
  EXPECT_TRUE(fs.IsPrivate(mine, &err)) << err;
  EXPECT_FALSE(fs.IsPrivate(JoinPath("t", "none"), &err));
  EXPECT_EQ("no such file", err);
  fs.MakeForeign(folder);
  fs.MakeForeign(theirs);
  for (const std::string& path : {folder, theirs}) {
    err.clear();
    EXPECT_FALSE(fs.IsPrivate(path, &err)) << path;
    EXPECT_EQ("it belongs to another user", err) << path;
  }
  EXPECT_TRUE(fs.IsPrivate(mine, &err)) << err;
  std::unique_ptr<File> open = fs.OpenForReading(theirs, Sharing::kRead, &err);
  ASSERT_NE(nullptr, open) << err;
  fs.RewriteFile(theirs, "written over in place");
  EXPECT_FALSE(fs.IsPrivate(theirs, &err));
  fs.AddFile(theirs, "a new file of the user's");
  EXPECT_TRUE(fs.IsPrivate(theirs, &err)) << err;
  EXPECT_FALSE(open->IsPrivate(&err));
  EXPECT_EQ("it belongs to another user", err);
  std::unique_ptr<File> made = fs.CreatePrivateFile(JoinPath("t", "made"), &err);
  ASSERT_NE(nullptr, made) << err;
  EXPECT_TRUE(made->IsPrivate(&err)) << err;
}

TEST(MemoryFileSystemTest, HookCanFailEveryCall) {
  using Op = MemoryFileSystem::Op;
  MemoryFileSystem fs;
  fs.AddFolder("t");
  fs.AddFile(JoinPath("t", "a"), "data");
  fs.faultText = "write: No space left on device";
  const std::string a = JoinPath("t", "a");
  std::unique_ptr<File> open, written;
  auto opened = [&](std::unique_ptr<File> file) {
    EXPECT_NE(nullptr, file);
    return file;
  };
  const struct {
    Op op;
    std::function<bool(std::string*)> call;
  } calls[] = {
      {Op::PathExists, [&](std::string* err) { return fs.PathExists(a, err); }},
      {Op::IsReadableFile, [&](std::string* err) { return fs.IsReadableFile(a, err); }},
      {Op::LeadsOutside,
       [&](std::string* err) {
         std::string target;
         // Inside: true only as a call that did not fail.
         return !fs.LeadsOutside("t", a, &target, err) && err->empty();
       }},
      {Op::OpenForReading,
       [&](std::string* err) { return fs.OpenForReading(a, Sharing::kRead, err) != nullptr; }},
      {Op::CreateForWriting,
       [&](std::string* err) { return fs.CreateForWriting(JoinPath("t", "w"), err) != nullptr; }},
      {Op::CreateNew,
       [&](std::string* err) { return fs.CreateNew(JoinPath("t", "n"), err) != nullptr; }},
      {Op::ListFolder,
       [&](std::string* err) {
         std::vector<std::string> names;
         return fs.ListFolder("t", &names, err) == ListResult::kComplete;
       }},
      {Op::ListEntry,
       [&](std::string* err) {
         std::vector<std::string> names;
         return fs.ListFolder("t", &names, err) == ListResult::kComplete;
       }},
      {Op::CreateFolder,
       [&](std::string* err) { return fs.CreateFolder(JoinPath("t", "sub"), err); }},
      {Op::CreatePrivateFolder,
       [&](std::string* err) { return fs.CreatePrivateFolder(JoinPath("t", "mine"), err); }},
      {Op::CreatePrivateFile,
       [&](std::string* err) { return fs.CreatePrivateFile(JoinPath("t", "p"), err) != nullptr; }},
      {Op::IsPrivate, [&](std::string* err) { return fs.IsPrivate(a, err); }},
      {Op::IsPrivate, [&](std::string* err) { return open->IsPrivate(err); }},
      {Op::MoveOver, [&](std::string* err) { return fs.MoveOver(a, JoinPath("t", "b"), err); }},
      {Op::SyncFolderOf, [&](std::string* err) { return fs.SyncFolderOf(a, err); }},
      {Op::RemoveFile, [&](std::string* err) { return fs.RemoveFile(a, err); }},
      {Op::RemoveFolder,
       [&](std::string* err) { return fs.RemoveFolder(JoinPath("t", "e"), err); }},
      {Op::Identify,
       [&](std::string* err) {
         FileIdentity id;
         return fs.Identify(a, &id, err);
       }},
      {Op::FileSize,
       [&](std::string* err) {
         uint64_t size = 0;
         return fs.FileSize(a, &size, err);
       }},
      {Op::Read,
       [&](std::string* err) {
         char buffer[4];
         size_t got = 0;
         return open->Read(buffer, sizeof buffer, &got, err);
       }},
      {Op::Write, [&](std::string* err) { return written->Write("x", 1, err); }},
      {Op::Size,
       [&](std::string* err) {
         uint64_t size = 0;
         return open->Size(&size, err);
       }},
      {Op::Seek, [&](std::string* err) { return open->Seek(1, err); }},
      {Op::Truncate, [&](std::string* err) { return written->Truncate(0, err); }},
      {Op::Sync, [&](std::string* err) { return written->Sync(err); }},
      {Op::Close, [&](std::string* err) { return written->Close(err); }},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(MemoryFileSystem::NameOf(c.op));
    fs.before = nullptr;
    fs.AddFile(a, "data");
    fs.AddFolder(JoinPath("t", "e"));
    open.reset();
    written.reset();
    std::string err;
    open = opened(fs.OpenForReading(a, Sharing::kRead, &err));
    written = opened(fs.CreateForWriting(JoinPath("t", "out"), &err));
    ASSERT_TRUE(c.call(&err)) << err;
    fs.before = [&](Op op, const std::string&) { return op != c.op; };
    EXPECT_FALSE(c.call(&err));
    EXPECT_EQ("write: No space left on device", err);
  }
}

}  // namespace
}  // namespace nv
