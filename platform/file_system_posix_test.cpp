#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/cache_folder.h"
#include "platform/file_system.h"
#include "testing/temp_folder.h"

namespace nv {
namespace {

class PosixReadableFileTest : public testing::Test {
 protected:
  bool Readable(const std::string& path) {
    std::string why;
    return fs.IsReadableFile(path, &why);
  }

  TempFolder temp;
  FileSystem& fs = RealFileSystem();
};

TEST_F(PosixReadableFileTest, NamedPipeCountsAsMissingWithoutWaiting) {
  const std::string pipe = JoinPath(temp.Path(), "shot.png");
  ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0666));
  // Opening a pipe for reading waits for a writer; should the test ever do
  // so, the alarm ends the process instead of hanging the suite.
  ::alarm(10);
  EXPECT_FALSE(Readable(pipe));
  std::string err;
  EXPECT_EQ(nullptr, fs.OpenForReading(pipe, Sharing::kReadWrite, &err));
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
  EXPECT_FALSE(Readable(dangling));
  EXPECT_TRUE(Readable(toFile));
  EXPECT_FALSE(Readable(toFolder));
  EXPECT_TRUE(Readable(file));
}

TEST_F(PosixReadableFileTest, LinksThatLeadOutsideTheFolder) {
  TempFolder elsewhere;
  const std::string outside = elsewhere.Put("secret.png", "png");
  const std::string folder = JoinPath(temp.Path(), "theme");
  ASSERT_EQ(0, ::mkdir(folder.c_str(), 0777));
  temp.Put(JoinPath("theme", "real.png"), "png");
  const struct {
    const char* name;
    std::string target;  // of the link; "" for no link
    bool outside;
  } cases[] = {
      {"real.png", "", false},           {"sibling.png", "real.png", false},
      {"secret.png", outside, true},     {"up.png", "../theme/../theme-twin.png", true},
      {"chain.png", "secret.png", true},
  };
  temp.Put("theme-twin.png", "png");
  for (const auto& c : cases) {
    const std::string path = JoinPath(folder, c.name);
    if (c.target.empty()) continue;
    ASSERT_EQ(0, ::symlink(c.target.c_str(), path.c_str())) << c.name;
  }
  for (const auto& c : cases) {
    std::string target, err;
    EXPECT_EQ(c.outside, fs.LeadsOutside(folder, JoinPath(folder, c.name), &target, &err))
        << c.name;
    EXPECT_EQ("", err) << c.name;
    if (c.outside) {
      EXPECT_FALSE(target.empty()) << c.name;
    }
  }
  // A folder spelt with a link of its own is still the same folder.
  const std::string alias = JoinPath(temp.Path(), "alias");
  ASSERT_EQ(0, ::symlink(folder.c_str(), alias.c_str()));
  std::string target, err;
  EXPECT_FALSE(fs.LeadsOutside(alias, JoinPath(alias, "sibling.png"), &target, &err));
}

TEST_F(PosixReadableFileTest, DevicesCountAsMissing) {
  EXPECT_FALSE(Readable("/dev/null"));
  EXPECT_FALSE(Readable("/dev/zero"));
}

// What a move over the path would destroy: the thing itself, never what a
// link there leads to, as the move replaces the link.
TEST_F(PosixReadableFileTest, DevicesPipesAndSocketsAreToldByThemselves) {
  const std::string pipe = JoinPath(temp.Path(), "pipe"), link = JoinPath(temp.Path(), "link");
  ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0666));
  ASSERT_EQ(0, ::symlink("/dev/null", link.c_str()));
  const std::pair<std::string, bool> cases[] = {
      {"/dev/null", true},  {pipe, true},
      {link, false},        {temp.Put("file", "x"), false},
      {temp.Path(), false}, {JoinPath(temp.Path(), "missing"), false}};
  for (const auto& [path, device] : cases) EXPECT_EQ(device, fs.IsDevice(path)) << path;
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

TEST(PosixSyncFolderTest, SyncsTheFolderOfAPathOrSaysWhyNot) {
  TempFolder temp;
  std::string err;
  EXPECT_TRUE(RealFileSystem().SyncFolderOf(temp.Put("pkg.nvp", "p"), &err)) << err;
  EXPECT_TRUE(RealFileSystem().SyncFolderOf("pkg.nvp", &err)) << err;  // the working folder
  EXPECT_TRUE(RealFileSystem().SyncFolderOf("/pkg.nvp", &err)) << err;
  const std::string gone = JoinPath(JoinPath(temp.Path(), "gone"), "pkg.nvp");
  EXPECT_FALSE(RealFileSystem().SyncFolderOf(gone, &err));
  EXPECT_EQ(0u, err.find("open: "));
}

// What the build cache asks before it trusts a folder or a file in it: that
// the user owns it and nobody else may write to it. Asked of an open file,
// the file answers, whatever has been moved to its path since.
TEST(PosixPrivateTest, OnlyWhatTheUserAloneMayWriteIsPrivate) {
  TempFolder temp;
  FileSystem& fs = RealFileSystem();
  const std::string file = temp.Put("a.cache", "cache");
  const std::string folder = JoinPath(temp.Path(), "nvtheme");
  ASSERT_EQ(0, ::mkdir(folder.c_str(), 0700));
  const struct {
    const std::string& path;
    mode_t mode;
    const char* why;  // "" when private
  } cases[] = {
      {file, 0600, ""},
      {file, 0644, ""},
      {file, 0664, "its group or other users may write to it (mode 0664)"},
      {file, 0602, "its group or other users may write to it (mode 0602)"},
      {folder, 0700, ""},
      {folder, 0755, ""},
      {folder, 0777, "its group or other users may write to it (mode 0777)"},
      {folder, 01777, "its group or other users may write to it (mode 1777)"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(0, ::chmod(c.path.c_str(), c.mode));
    std::string err;
    EXPECT_EQ(*c.why == '\0', fs.IsPrivate(c.path, &err)) << c.path << " " << c.mode;
    if (*c.why) EXPECT_EQ(c.why, err);
    if (c.path != file) continue;
    const std::unique_ptr<File> open = fs.OpenForReading(file, Sharing::kRead, &err);
    ASSERT_NE(nullptr, open) << err;
    err.clear();
    EXPECT_EQ(*c.why == '\0', open->IsPrivate(&err)) << c.mode;
    if (*c.why) EXPECT_EQ(c.why, err);
  }
  std::string err;
  EXPECT_FALSE(fs.IsPrivate(JoinPath(temp.Path(), "none"), &err));
  EXPECT_EQ(0u, err.find("lstat: "));

  // A file of others' moved over an open one of the user's, and back.
  ASSERT_EQ(0, ::chmod(file.c_str(), 0600));
  const std::unique_ptr<File> mine = fs.OpenForReading(file, Sharing::kRead, &err);
  ASSERT_NE(nullptr, mine) << err;
  const std::string others = temp.Put("others.cache", "crafted");
  ASSERT_EQ(0, ::chmod(others.c_str(), 0666));
  const std::unique_ptr<File> theirs = fs.OpenForReading(others, Sharing::kRead, &err);
  ASSERT_NE(nullptr, theirs) << err;
  ASSERT_EQ(0, ::rename(others.c_str(), file.c_str()));
  EXPECT_TRUE(mine->IsPrivate(&err)) << err;
  EXPECT_FALSE(theirs->IsPrivate(&err));
  EXPECT_FALSE(fs.IsPrivate(file, &err));
  ASSERT_EQ(0, ::chmod(file.c_str(), 0600));

  // A link is the user's alone when it is, and so is what it leads to.
  const std::string link = JoinPath(temp.Path(), "link");
  ASSERT_EQ(0, ::symlink(folder.c_str(), link.c_str()));
  ASSERT_EQ(0, ::chmod(folder.c_str(), 0700));
  EXPECT_TRUE(fs.IsPrivate(link, &err)) << err;
  ASSERT_EQ(0, ::chmod(folder.c_str(), 0777));
  EXPECT_FALSE(fs.IsPrivate(link, &err));
  ASSERT_EQ(0, ::chmod(folder.c_str(), 0700));

  // Only root can give a file to another user.
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root; the rest passed";
  ASSERT_EQ(0, ::chown(file.c_str(), 65534, 65534));
  EXPECT_FALSE(fs.IsPrivate(file, &err));
  EXPECT_EQ("it belongs to another user (uid 65534)", err);
  const std::unique_ptr<File> given = fs.OpenForReading(file, Sharing::kRead, &err);
  ASSERT_NE(nullptr, given) << err;
  EXPECT_FALSE(given->IsPrivate(&err));
  EXPECT_EQ("it belongs to another user (uid 65534)", err);
  ASSERT_EQ(0, ::chown(folder.c_str(), 65534, 65534));
  EXPECT_FALSE(fs.IsPrivate(link, &err));
  EXPECT_EQ("it belongs to another user (uid 65534)", err);
  ASSERT_EQ(0, ::chown(folder.c_str(), ::geteuid(), ::getegid()));
  ASSERT_EQ(0, ::lchown(link.c_str(), 65534, 65534));
  EXPECT_FALSE(fs.IsPrivate(link, &err));
  EXPECT_EQ("it belongs to another user (uid 65534)", err);
}

// Made for the user alone, whatever the mode mask would let others have.
TEST(PosixPrivateTest, PrivateFoldersAndFilesAreMadeForTheUserAlone) {
  TempFolder temp;
  FileSystem& fs = RealFileSystem();
  const mode_t mask = ::umask(0);
  std::string err;
  const std::string folder = JoinPath(temp.Path(), "nvtheme");
  const std::string file = JoinPath(folder, "a.cache");
  const std::string shared = JoinPath(temp.Path(), "shared");
  const bool made = fs.CreatePrivateFolder(folder, &err) && fs.CreatePrivateFile(file, &err) &&
                    fs.CreateFolder(shared, &err);
  ::umask(mask);
  ASSERT_TRUE(made) << err;
  struct stat st;
  ASSERT_EQ(0, ::stat(folder.c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 07777);
  ASSERT_EQ(0, ::stat(file.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  ASSERT_EQ(0, ::stat(shared.c_str(), &st));
  EXPECT_EQ(0777u, st.st_mode & 07777);
  EXPECT_TRUE(fs.IsPrivate(folder, &err)) << err;
  EXPECT_TRUE(fs.IsPrivate(file, &err)) << err;
  // Like CreateNew, it never opens what is already there.
  EXPECT_EQ(nullptr, fs.CreatePrivateFile(file, &err));
  EXPECT_FALSE(fs.CreatePrivateFolder(folder, &err));
}

// Nanoseconds since 1970 count no further than the year 2262; a file may be
// stamped later (ext4 goes to 2446), and its stamp then holds the latest
// time there is, never one reckoned past it.
TEST(PosixStampTest, ATimeBeyondTheYear2262IsTheLatest) {
  TempFolder temp;
  const std::string file = temp.Put("future.png", "png");
  const struct timespec times[2] = {{0, UTIME_OMIT}, {int64_t{10} * 1000 * 1000 * 1000, 5}};
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, file.c_str(), times, 0)) << std::strerror(errno);
  struct stat st;
  ASSERT_EQ(0, ::stat(file.c_str(), &st));
  if (st.st_mtim.tv_sec != times[1].tv_sec) GTEST_SKIP() << "this disk keeps no such time";
  FileStamp stamp, open;
  std::string err;
  ASSERT_TRUE(RealFileSystem().Stamp(file, &stamp, &err)) << err;
  auto in = RealFileSystem().OpenForReading(file, Sharing::kRead, &err);
  ASSERT_NE(nullptr, in) << err;
  ASSERT_TRUE(in->Stamp(&open, &err)) << err;
  EXPECT_EQ(std::numeric_limits<int64_t>::max(), stamp.modified);
  EXPECT_TRUE(stamp == open);
  EXPECT_LT(stamp.changed, stamp.modified);
}

// The XDG base directory rules: XDG_CACHE_HOME when absolute, else the
// home folder's .cache.
TEST(PosixCacheFolderTest, FollowsTheXdgRules) {
  const struct {
    const char* xdg;  // null: unset
    const char* home;
    const char* folder;  // null: none
  } cases[] = {
      {"/var/cache/u", "/home/u", "/var/cache/u/nvtheme"},
      {nullptr, "/home/u", "/home/u/.cache/nvtheme"},
      {"relative/cache", "/home/u", "/home/u/.cache/nvtheme"},
      {nullptr, nullptr, nullptr},
  };
  const char* xdgBefore = std::getenv("XDG_CACHE_HOME");
  const char* homeBefore = std::getenv("HOME");
  const std::string xdgKept = xdgBefore ? xdgBefore : "", homeKept = homeBefore ? homeBefore : "";
  auto set = [](const char* name, const char* value) {
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  };
  for (const auto& c : cases) {
    set("XDG_CACHE_HOME", c.xdg);
    set("HOME", c.home);
    std::string folder, err;
    EXPECT_EQ(c.folder != nullptr, UserCacheFolder(&folder, &err)) << err;
    if (c.folder) {
      EXPECT_EQ(c.folder, folder);
    }
  }
  set("XDG_CACHE_HOME", xdgBefore ? xdgKept.c_str() : nullptr);
  set("HOME", homeBefore ? homeKept.c_str() : nullptr);
}

}  // namespace
}  // namespace nv
