// Full builds on a POSIX system's real disk, meeting real faults: a disk that
// fills up, a file-size limit, a package that cannot be created, sources
// that change while they are packed, and folders holding what is no file.
// The tests run as root, where permissions deny nothing, so each fault is
// made real by other means.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "testing/build_runs_on_disk.h"
#include "testing/temp_folder.h"
#include "testing/test_bytes.h"

namespace nv {
namespace {

namespace fsys = std::filesystem;
using namespace on_disk;

// Runs `body` in a child process, for what must not touch this one (a
// file-size limit, a mount namespace), and gives back what it returned, or
// how the child ended when it did not return.
std::string InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return std::string("pipe: ") + std::strerror(errno);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const std::string result = body();
    for (size_t done = 0; done < result.size();) {
      ssize_t n = ::write(fds[1], result.data() + done, result.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);  // nothing of this process's tests is run again here
  }
  ::close(fds[1]);
  std::string result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) result.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "the child ended with status " + std::to_string(status);
  return result;
}

// Mounts a tmpfs on `dir` in a mount namespace of the calling process's
// own, so that it goes when the process ends. Gives the reason when that is
// refused, else "".
std::string MountTmpfs(const std::string& dir, const char* options) {
  if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
  // Mounts made here must not reach the namespace this one came from.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("private mounts: ") + std::strerror(errno);
  if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options) != 0)
    return std::string("mount: ") + std::strerror(errno);
  return "";
}

// The real disk, with a hand in it: something done to a path just before a
// build opens it for reading (the file tests aside), creates it, or first
// reads from it, just after it created it, or just before it moves a file
// to it; and the bytes read from each path counted.
class MeddlingFileSystem : public FileSystem {
 public:
  using Act = std::function<void(const std::string& path)>;
  Act beforeOpen, beforeCreate, beforeFirstRead, afterCreate, beforeMove;

  uint64_t BytesRead(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_read[path];
  }

  bool PathExists(const std::string& path, std::string* err) override {
    return m_real.PathExists(path, err);
  }
  bool IsDevice(const std::string& path) override { return m_real.IsDevice(path); }
  bool IsReadableFile(const std::string& path, std::string* err) override {
    return m_real.IsReadableFile(path, err);
  }
  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override {
    return m_real.LeadsOutside(folder, path, target, err);
  }
  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                       std::string* err) override {
    if (beforeOpen) beforeOpen(path);
    auto file = m_real.OpenForReading(path, sharing, err);
    return file ? std::make_unique<WatchedFile>(this, path, std::move(file)) : nullptr;
  }
  std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) override {
    if (beforeCreate) beforeCreate(path);
    auto file = m_real.CreateForWriting(path, err);
    if (file && afterCreate) afterCreate(path);
    return file;
  }
  std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) override {
    if (beforeCreate) beforeCreate(path);
    auto file = m_real.CreateNew(path, err);
    if (file && afterCreate) afterCreate(path);
    return file;
  }
  std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::string* err) override {
    if (beforeCreate) beforeCreate(path);
    auto file = m_real.CreatePrivateFile(path, err);
    if (file && afterCreate) afterCreate(path);
    return file;
  }
  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override {
    return m_real.ListFolder(folder, names, err);
  }
  bool CreateFolder(const std::string& path, std::string* err) override {
    return m_real.CreateFolder(path, err);
  }
  bool CreatePrivateFolder(const std::string& path, std::string* err) override {
    return m_real.CreatePrivateFolder(path, err);
  }
  bool MoveOver(const std::string& from, const std::string& to, std::string* err) override {
    if (beforeMove) beforeMove(to);
    return m_real.MoveOver(from, to, err);
  }
  bool SyncFolderOf(const std::string& path, std::string* err) override {
    return m_real.SyncFolderOf(path, err);
  }
  bool RemoveFile(const std::string& path, std::string* err) override {
    return m_real.RemoveFile(path, err);
  }
  bool RemoveFolder(const std::string& path, std::string* err) override {
    return m_real.RemoveFolder(path, err);
  }
  bool Identify(const std::string& path, FileIdentity* id, std::string* err) override {
    return m_real.Identify(path, id, err);
  }
  bool FileSize(const std::string& path, uint64_t* size, std::string* err) override {
    return m_real.FileSize(path, size, err);
  }
  bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) override {
    return m_real.Stamp(path, stamp, err);
  }
  bool FullPath(const std::string& path, std::string* full, std::string* err) override {
    return m_real.FullPath(path, full, err);
  }
  bool IsPrivate(const std::string& path, std::string* err) override {
    return m_real.IsPrivate(path, err);
  }

 private:
  class WatchedFile : public File {
   public:
    WatchedFile(MeddlingFileSystem* fs, std::string path, std::unique_ptr<File> file)
        : m_fs(fs), m_path(std::move(path)), m_file(std::move(file)) {}
    bool Read(void* buffer, size_t size, size_t* got, std::string* err) override {
      if (m_fs->beforeFirstRead && m_first) m_fs->beforeFirstRead(m_path);
      m_first = false;
      const bool ok = m_file->Read(buffer, size, got, err);
      std::lock_guard<std::mutex> lock(m_fs->m_mutex);
      m_fs->m_read[m_path] += *got;
      return ok;
    }
    bool Write(const void* data, size_t size, std::string* err) override {
      return m_file->Write(data, size, err);
    }
    bool Size(uint64_t* size, std::string* err) override { return m_file->Size(size, err); }
    bool Stamp(FileStamp* stamp, std::string* err) override { return m_file->Stamp(stamp, err); }
    bool Seek(uint64_t offset, std::string* err) override { return m_file->Seek(offset, err); }
    bool Truncate(uint64_t size, std::string* err) override { return m_file->Truncate(size, err); }
    bool Sync(std::string* err) override { return m_file->Sync(err); }
    bool Close(std::string* err) override { return m_file->Close(err); }
    bool IsPrivate(std::string* err) override { return m_file->IsPrivate(err); }

   private:
    MeddlingFileSystem* m_fs;
    std::string m_path;
    std::unique_ptr<File> m_file;
    bool m_first = true;
  };

  FileSystem& m_real = RealFileSystem();
  std::mutex m_mutex;  // files are read on several threads
  std::map<std::string, uint64_t> m_read;
};

class RealFaultsTest : public testing::Test {
 protected:
  RealFaultsTest() : folder(MakeTheme(JoinPath(temp.Path(), "themes"))), package(folder + ".nvp") {}
  // Whatever a test's builds met, none left a file open.
  ~RealFaultsTest() override { EXPECT_EQ(openAtStart, OpenDescriptors()); }

  static size_t OpenDescriptors() {
    const fsys::directory_iterator fds("/proc/self/fd");
    return static_cast<size_t>(std::distance(fsys::begin(fds), fsys::end(fds)));
  }

  // Builds the folder once, so that a last good package is there.
  void BuildLastGood() {
    ASSERT_TRUE(Build(folder).flags.Succeeded());
    lastGood = ReadFile(package);
  }

  std::string Source(const std::string& name) const { return JoinPath(folder, name); }

  const size_t openAtStart = OpenDescriptors();
  TempFolder temp;
  const std::string folder;
  const std::string package;
  std::string lastGood;
};

// The theme folder on a small tmpfs of its own, mounted for a child process
// alone, and built there: first once, so that a last good package is there,
// then as `meddle` says. What the builds after that left, one line each,
// or why no tmpfs could be had.
std::string BuiltOnTmpfs(const std::string& disk, const char* options,
                         const std::function<std::string(const std::string& theme,
                                                         const std::string& lastGood)>& meddle) {
  fsys::create_directory(disk);
  return InChild([&]() -> std::string {
    const std::string refused = MountTmpfs(disk, options);
    if (!refused.empty()) return "skip: " + refused;
    const std::string theme = MakeTheme(disk);
    if (!Build(theme).flags.Succeeded()) return "the first build failed";
    return meddle(theme, ReadFile(theme + ".nvp"));
  });
}

// Whether the child could not mount its tmpfs.
bool NoTmpfs(const std::string& outcome) { return outcome.compare(0, 5, "skip:") == 0; }

TEST_F(RealFaultsTest, DiskThatFillsUp) {
  const std::string disk = JoinPath(temp.Path(), "disk");
  const std::string outcome =
      BuiltOnTmpfs(disk, "size=1m", [](const std::string& theme, const std::string& lastGood) {
        // The sources fit, and so does the last good package; a new package
        // beside them does not.
        const std::string big = JoinPath(theme, "big.png"), package = theme + ".nvp";
        WriteFile(big, Incompressible(640 << 10));
        const RunOutcome filled = Build(theme);
        // The log names the package; a note, the file the disk refused and why.
        std::string noted;
        for (const auto& note : filled.notes)
          noted +=
              "\nnote on " +
              (IsTemporaryPackagePath(package, note.first) ? "the temporary package" : note.first) +
              ": " + note.second;
        const std::string full = Outcome(filled, package, lastGood) + noted;
        ::unlink(big.c_str());
        WriteFile(JoinPath(theme, "shot.png"), "another shot");
        return full + "\n" + Outcome(Build(theme), package, lastGood);
      });
  if (NoTmpfs(outcome))
    GTEST_SKIP() << "no tmpfs can be mounted here (" << outcome.substr(6)
                 << "), so no disk is filled up";
  const std::string package = JoinPath(disk, "ocean.nvp");
  EXPECT_EQ("failed; Error: Unable to write file: " + package +
                ".; last good package kept; temporary file gone\n"
                "note on the temporary package: write: No space left on device\n"
                // The space of the removed temporary file is free again.
                "succeeded; Please record down this operation log for future reference "
                "(Optional).; last good package replaced; temporary file gone",
            outcome);
}

TEST_F(RealFaultsTest, DiskMadeReadOnly) {
  const std::string disk = JoinPath(temp.Path(), "disk");
  const std::string outcome =
      BuiltOnTmpfs(disk, "size=1m", [&](const std::string& theme, const std::string& lastGood) {
        if (::mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
          return std::string("remount: ") + std::strerror(errno);
        return Outcome(Build(theme), theme + ".nvp", lastGood);
      });
  if (NoTmpfs(outcome))
    GTEST_SKIP() << "no tmpfs can be mounted here (" << outcome.substr(6)
                 << "), so no disk is made read-only";
  EXPECT_EQ("failed; Error: Unable to create file: " + JoinPath(disk, "ocean.nvp") +
                ".; last good package kept; temporary file gone",
            outcome);
}

TEST_F(RealFaultsTest, FileSizeLimit) {
  BuildLastGood();
  WriteFile(Source("big.png"), Incompressible(200 << 10));
  const std::string outcome = InChild([&] {
    // As the nvtheme program does: writes past the limit then fail with EFBIG
    // instead of ending the process.
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 64 << 10;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::string("setrlimit failed");
    return Outcome(Build(folder), package, lastGood);
  });
  EXPECT_EQ("failed; Error: Unable to write file: " + package +
                ".; last good package kept; temporary file gone",
            outcome);
}

TEST_F(RealFaultsTest, PackageWhoseFolderBecameAFile) {
  BuildLastGood();
  // Just before the package is created, the folder it goes into is moved
  // away and a file takes its name: the package's parent is a file.
  const std::string themes = JoinPath(temp.Path(), "themes");
  const std::string moved = JoinPath(temp.Path(), "moved");
  MeddlingFileSystem fs;
  fs.beforeCreate = [&](const std::string&) {
    fsys::rename(themes, moved);
    WriteFile(themes, "a file");
  };
  const RunOutcome run = Build(folder, fs);
  EXPECT_EQ("failed; Error: Unable to create file: " + package +
                ".; last good package kept; temporary file gone",
            Outcome(run, JoinPath(moved, "ocean.nvp"), lastGood));
  EXPECT_EQ("a file", ReadFile(themes));
}

struct Change {
  const char* what;
  bool beforeOpen;       // else at the first read, after the size was taken
  bool remove;           // else cut to its first half
  const char* lastLine;  // followed by the source's path and "."; null: the build succeeds
};

TEST_F(RealFaultsTest, SourceThatChangesBetweenListingAndPacking) {
  const std::string notes = Source("notes.txt");
  const std::string text = Incompressible(10000);
  WriteFile(notes, text);
  BuildLastGood();
  const Change changes[] = {
      {"removed before it is opened", true, true, "Error: Source files reading failed: "},
      {"cut short after its size was taken", false, false, "Error: Source files reading failed: "},
      // What it holds when it is opened is what is packed.
      {"cut short before it is opened", true, false, nullptr},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    WriteFile(notes, text);
    WriteFile(package, lastGood);
    MeddlingFileSystem fs;
    auto act = [&](const std::string& path) {
      if (path != notes) return;
      if (change.remove) {
        fsys::remove(notes);
      } else {
        fsys::resize_file(notes, text.size() / 2);
      }
    };
    (change.beforeOpen ? fs.beforeOpen : fs.beforeFirstRead) = act;
    const RunOutcome run = Build(folder, fs);
    if (change.lastLine) {
      EXPECT_EQ("failed; " + std::string(change.lastLine) + notes +
                    ".; last good package kept; temporary file gone",
                Outcome(run, package, lastGood));
    } else {
      EXPECT_EQ(
          "succeeded; Please record down this operation log for future reference (Optional).; "
          "last good package replaced; temporary file gone",
          Outcome(run, package, lastGood));
      EXPECT_EQ(text.substr(0, text.size() / 2), Unpack(package)["notes.txt"]);
    }
  }
}

TEST_F(RealFaultsTest, FolderHoldingWhatIsNoFileAndOddNames) {
  ASSERT_EQ(0, ::mkfifo(Source("pipe.png").c_str(), 0666));
  ASSERT_EQ(0, ::symlink("nowhere.png", Source("dangling.png").c_str()));
  ASSERT_EQ(0, ::symlink("shot.png", Source("link.png").c_str()));
  fsys::create_directory(Source("sub"));
  WriteFile(JoinPath(Source("sub"), "deep.png"), "deep");
  WriteFile(Source("a\rb.png"), "cr");
  WriteFile(Source("a\nb.png"), "lf");
  WriteFile(Source("caf\xE9.png"), "latin-1");
  ::alarm(60);  // a build that waited on the pipe would end the process, not hang it
  const RunOutcome run = Build(folder);
  ::alarm(0);
  EXPECT_TRUE(run.flags.Succeeded()) << run.log;
  // Byte order; the pipe, the dangling link and the folder are left out
  // without a word, the link to a file counts as that file.
  const std::string listing =
      "\r\nPacking files ...\r\n1, a\nb.png\r\n2, a\rb.png\r\n3, caf\xE9.png\r\n4, grid.xml\r\n"
      "5, link.png\r\n6, main.xml\r\n7, sand.png\r\n8, shot.png\r\n<?xml";
  EXPECT_NE(std::string::npos, run.log.find(listing)) << run.log;
  const std::map<std::string, std::string> expected = {
      {"a\nb.png", "lf"},        {"a\rb.png", "cr"},   {"caf\xE9.png", "latin-1"},
      {"grid.xml", "<layout/>"}, {"link.png", "shot"}, {"main.xml", kManifest},
      {"sand.png", "sand"},      {"shot.png", "shot"}};
  EXPECT_EQ(expected, Unpack(package));
}

TEST_F(RealFaultsTest, HundredThousandFiles) {
  using Clock = std::chrono::steady_clock;
  auto ms = [](Clock::duration d) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
  };
  const std::string place = JoinPath(temp.Path(), "many");
  fsys::create_directory(place);
  const std::string report = InChild([&]() -> std::string {
    // On a tmpfs where one can be mounted: a disk takes many times longer
    // to make and remove the files than the build takes to pack them.
    const std::string refused = MountTmpfs(place, "size=64m");
    const auto start = Clock::now();
    const std::string theme = MakeTheme(place);
    const int count = 100000;
    for (int i = 0; i < count; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "f%06d.txt", i);
      // Empty: a byte would take a whole page of the tmpfs.
      const int fd = ::open(JoinPath(theme, name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0666);
      if (fd < 0) return "cannot make " + std::string(name) + ": " + std::strerror(errno);
      ::close(fd);
    }
    const auto made = Clock::now();
    const RunOutcome run = Build(theme, RealFileSystem(), 0);
    const auto built = Clock::now();
    const std::map<std::string, std::string> files = Unpack(theme + ".nvp");
    const auto verified = Clock::now();
    const bool inOrder =
        run.log.find("\r\n100000, f099999.txt\r\n100001, grid.xml\r\n") != std::string::npos &&
        run.log.find("\r\n100004, shot.png\r\n<?xml") != std::string::npos;
    return std::string(run.flags.Succeeded() ? "succeeded" : "failed: " + LastLine(run.log)) +
           (inOrder ? "; listed in byte order" : "; listed out of order") + "; " +
           std::to_string(files.size()) + " files read back; main.xml " +
           (files.count("main.xml") && files.at("main.xml") == kManifest ? "whole" : "lost") +
           "\n" + std::to_string(count) + " files made in " + ms(made - start) + " ms, built in " +
           ms(built - made) + " ms, read back in " + ms(verified - built) + " ms, on " +
           (refused.empty() ? "a tmpfs" : "the disk (" + refused + ")");
  });
  const size_t end = report.find('\n');
  EXPECT_EQ("succeeded; listed in byte order; 100004 files read back; main.xml whole",
            report.substr(0, end));
  if (end != std::string::npos) std::printf("[ files    ] %s\n", report.c_str() + end + 1);
}

// Runs `first` on a thread of its own until `fs` pauses it, just after it
// created its temporary file or just before it moves that file into place,
// runs `second` whole meanwhile, then lets the first go on to its end.
void WhileFirstPaused(MeddlingFileSystem& fs, bool afterCreating,
                      const std::function<void()>& first, const std::function<void()>& second) {
  std::mutex mutex;
  std::condition_variable changed;
  bool firstPaused = false, secondDone = false;
  (afterCreating ? fs.afterCreate : fs.beforeMove) = [&](const std::string&) {
    std::unique_lock<std::mutex> lock(mutex);
    firstPaused = true;
    changed.notify_all();
    changed.wait(lock, [&] { return secondDone; });
  };
  std::thread thread(first);
  {
    std::unique_lock<std::mutex> lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return firstPaused; }))
        << "the first build never came to its pause";
  }
  second();
  {
    std::lock_guard<std::mutex> lock(mutex);
    secondDone = true;
  }
  changed.notify_all();
  thread.join();
}

// Two builds of one folder at the same time, as two commands started
// together would run them. Each writes a file of its own, so both succeed,
// each package is whole, and nothing is left beside it.
TEST_F(RealFaultsTest, TwoBuildsOfOneFolderAtOnce) {
  BuildLastGood();
  const std::map<std::string, std::string> files = Unpack(package);
  ASSERT_EQ(4u, files.size());
  for (bool afterCreating : {true, false}) {
    SCOPED_TRACE(afterCreating ? "the first paused after creating"
                               : "the first paused before moving");
    MeddlingFileSystem fs;
    RunOutcome first, second;
    std::map<std::string, std::string> secondPackage;
    WhileFirstPaused(
        fs, afterCreating, [&] { first = Build(folder, fs); },
        [&] {
          second = Build(folder);
          secondPackage = Unpack(package);
        });
    EXPECT_TRUE(second.flags.Succeeded()) << second.log;
    EXPECT_EQ(files, secondPackage);
    EXPECT_TRUE(first.flags.Succeeded()) << first.log;
    EXPECT_EQ(files, Unpack(package));
    EXPECT_EQ(std::vector<std::string>(), Temporaries(package));
  }
}

// The same with the build cache, the first paused before it looked in the
// cache or before it moves its package into place. Whichever package ends
// in place, the cache describes it or none: a third build makes what a
// build without the cache makes.
TEST_F(RealFaultsTest, TwoCachedBuildsOfOneFolderAtOnce) {
  const std::string cache = JoinPath(temp.Path(), "cache");
  const std::string plain = JoinPath(temp.Path(), "plain.nvp");
  ASSERT_TRUE(Build(folder, RealFileSystem(), 1, cache).flags.Succeeded());
  for (bool afterCreating : {true, false}) {
    SCOPED_TRACE(afterCreating ? "the first paused after creating"
                               : "the first paused before moving");
    WriteFile(Source("grid.xml"), afterCreating ? "<layout a=\"1\"/>" : "<layout a=\"2\"/>");
    MeddlingFileSystem fs;
    RunOutcome first, second;
    WhileFirstPaused(
        fs, afterCreating, [&] { first = Build(folder, fs, 2, cache); },
        [&] { second = Build(folder, RealFileSystem(), 2, cache); });
    EXPECT_TRUE(first.flags.Succeeded()) << first.log;
    EXPECT_TRUE(second.flags.Succeeded()) << second.log;
    const RunOutcome third = Build(folder, RealFileSystem(), 2, cache);
    ASSERT_TRUE(Build(folder, RealFileSystem(), 2, "", plain).flags.Succeeded());
    EXPECT_TRUE(ReadFile(plain) == ReadFile(package));
    EXPECT_TRUE(third.notes.empty());
  }
}

// Whatever lies where the temporary package was once written, t.nvp.tmp,
// left there by accident or laid by someone else, is not opened: not
// written through, not waited on, not a reason to fail, not the package's
// owner. The build writes a file of its own.
TEST_F(RealFaultsTest, WhateverLiesAtTheOldTemporaryName) {
  BuildLastGood();
  const std::string oldName = package + ".tmp";
  const std::string victim = JoinPath(temp.Path(), "victim.txt");
  const std::string themes = JoinPath(temp.Path(), "themes");
  const std::string sand = Source("sand.png");
  struct Laid {
    const char* what;
    std::function<int()> lay;
    bool failing;  // the build is made to fail: the last good package must stay
  };
  const Laid cases[] = {
      {"a link to a file elsewhere", [&] { return ::symlink(victim.c_str(), oldName.c_str()); },
       false},
      {"a hard link to a file elsewhere", [&] { return ::link(victim.c_str(), oldName.c_str()); },
       false},
      {"a named pipe", [&] { return ::mkfifo(oldName.c_str(), 0666); }, false},
      {"a hard link to the last good package, and a build that fails",
       [&] { return ::link(package.c_str(), oldName.c_str()); }, true},
      {"another user's empty file, writable by all, in a folder anyone may write to",
       [&] {
         WriteFile(oldName, "");
         return ::chown(oldName.c_str(), 65534, 65534) | ::chmod(oldName.c_str(), 0666) |
                ::chmod(themes.c_str(), 01777);
       },
       false},
  };
  for (const Laid& c : cases) {
    SCOPED_TRACE(c.what);
    // The last case alone gives a file to another user, which only root can.
    if (&c == std::end(cases) - 1 && ::geteuid() != 0)
      GTEST_SKIP() << "giving a file to another user needs root; the other cases passed";
    ::unlink(oldName.c_str());
    WriteFile(victim, "not a package");
    WriteFile(package, lastGood);
    WriteFile(sand, "sand");
    WriteFile(Source("shot.png"), "another shot");  // so that a new package shows
    ASSERT_EQ(0, c.lay()) << std::strerror(errno);
    struct stat laid;
    ASSERT_EQ(0, ::lstat(oldName.c_str(), &laid));
    MeddlingFileSystem fs;
    if (c.failing) {
      fs.beforeOpen = [&](const std::string& path) {
        if (path == sand) fsys::remove(sand);
      };
    }
    ::alarm(60);  // a build that waited on the pipe would end the process, not hang it
    const RunOutcome run = Build(folder, fs);
    ::alarm(0);
    if (c.failing) {
      EXPECT_EQ("failed; Error: Source files reading failed: " + sand +
                    ".; last good package kept; temporary file gone",
                Outcome(run, package, lastGood));
    } else {
      EXPECT_TRUE(run.flags.Succeeded()) << run.log;
      EXPECT_EQ("another shot", Unpack(package)["shot.png"]);
      EXPECT_EQ(std::vector<std::string>(), Temporaries(package));
    }
    EXPECT_EQ("not a package", ReadFile(victim));
    struct stat after, made;
    ASSERT_EQ(0, ::lstat(oldName.c_str(), &after));
    EXPECT_EQ(laid.st_ino, after.st_ino);
    EXPECT_EQ(laid.st_mode, after.st_mode);
    EXPECT_EQ(laid.st_size, after.st_size);
    EXPECT_EQ(laid.st_uid, after.st_uid);
    ASSERT_EQ(0, ::stat(package.c_str(), &made));
    EXPECT_EQ(::geteuid(), made.st_uid);
  }
}

// How many threads the processes of that user run, all told.
rlim_t ThreadsOf(uid_t user) {
  rlim_t threads = 0;
  for (const auto& entry : fsys::directory_iterator("/proc")) {
    std::ifstream status(entry.path() / "status");
    std::string key;
    uid_t real = 0;
    rlim_t count = 0;
    bool ofUser = false;
    while (status >> key) {
      if (key == "Uid:" && status >> real) ofUser = real == user;
      if (key == "Threads:" && status >> count && ofUser) threads += count;
    }
  }
  return threads;
}

// A user who may run no more threads than they have, plus one: packing goes
// on with the one thread it is given.
TEST_F(RealFaultsTest, ThreadsRefusedAfterTheFirst) {
  BuildLastGood();
  WriteFile(Source("shot.png"), "another shot");
  fsys::permissions(JoinPath(temp.Path(), "themes"), fsys::perms::all);
  const std::string outcome = InChild([&]() -> std::string {
    const uid_t nobody = 65534;
    const rlim_t threads = ThreadsOf(nobody);
    if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
      return std::string("skip: setuid: ") + std::strerror(errno);
    const struct rlimit limit = {threads + 2, threads + 2};  // this one, and one more
    if (::setrlimit(RLIMIT_NPROC, &limit) != 0)
      return std::string("skip: setrlimit: ") + std::strerror(errno);
    return Outcome(Build(folder, RealFileSystem(), 4), package, lastGood);
  });
  if (outcome.compare(0, 5, "skip:") == 0)
    GTEST_SKIP() << "threads cannot be limited here (" << outcome.substr(6) << ")";
  EXPECT_EQ(
      "succeeded; Please record down this operation log for future reference (Optional).; "
      "last good package replaced; temporary file gone",
      outcome);
  EXPECT_EQ("another shot", Unpack(package)["shot.png"]);
}

TEST_F(RealFaultsTest, SparseFileOfFourGibibytesAndOneByte) {
  BuildLastGood();
  const std::string huge = Source("huge.png");
  const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0666);
  ASSERT_LE(0, fd);
  ASSERT_EQ(0, ::ftruncate(fd, (off_t{1} << 32) + 1)) << std::strerror(errno);
  ::close(fd);
  MeddlingFileSystem fs;
  const RunOutcome run = Build(folder, fs);
  // It keeps its listing line and its place in the index; the files after
  // it are packed, and the package is not made.
  EXPECT_EQ("failed; Error: File too large to pack: " + huge +
                ".; last good package kept; temporary file gone",
            Outcome(run, package, lastGood));
  EXPECT_NE(std::string::npos, run.log.find("\r\n2, huge.png\r\n"));
  EXPECT_NE(std::string::npos, run.log.find("<file filename=\"huge.png\" id=\"2\" />"));
  EXPECT_EQ(0u, fs.BytesRead(huge));
}

TEST_F(RealFaultsTest, SparseManifestOfTwoGibibytes) {
  const std::string manifest = Source("main.xml");
  ASSERT_EQ(0, ::truncate(manifest.c_str(), off_t{2} << 30)) << std::strerror(errno);
  MeddlingFileSystem fs;
  const RunOutcome run = Build(folder, fs);
  EXPECT_FALSE(run.flags.manifestLoaded);
  EXPECT_NE(std::string::npos,
            run.log.find("failed\r\nError: main.xml is larger than 256 MiB.\r\n"));
  EXPECT_EQ(0u, fs.BytesRead(manifest));
}

}  // namespace
}  // namespace nv
