// The file system on POSIX systems: file descriptors, with errno put into words.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace nv {

const char kPathSeparator = '/';
const NameRules kPlatformNameRules = NameRules::kPosix;
const bool kOpenFilesHoldOffReplacing = false;

std::string StripTrailingSeparators(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path;  // "/" or "//": the root
  return path.substr(0, end + 1);
}

namespace {

bool Fail(std::string* err, const char* what) {
  *err = std::string(what) + ": " + std::strerror(errno);
  return false;
}

// Nanoseconds since 1970 reach from 1677 to 2262; a time beyond (a disk
// may keep one, set by any program) is held at the nearest end, never let
// overflow. The change time, which nobody sets, still tells such a file's
// changes apart.
int64_t Nanoseconds(const struct timespec& t) {
  constexpr int64_t kPerSecond = 1000000000;
  const int64_t seconds = static_cast<int64_t>(t.tv_sec);
  if (seconds > (INT64_MAX - t.tv_nsec) / kPerSecond) return INT64_MAX;
  if (seconds < INT64_MIN / kPerSecond) return INT64_MIN;
  return seconds * kPerSecond + t.tv_nsec;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.modified = Nanoseconds(st.st_mtim);
  stamp.changed = Nanoseconds(st.st_ctim);
  stamp.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return stamp;
}

ListedEntry::Kind KindOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return ListedEntry::Kind::kFile;
  if (S_ISDIR(st.st_mode)) return ListedEntry::Kind::kFolder;
  if (S_ISLNK(st.st_mode)) return ListedEntry::Kind::kLink;
  return ListedEntry::Kind::kOther;
}

// Why what the status describes is not the user's alone; empty when it is.
// A link's own mode means nothing: anyone may follow any link.
std::string WhyNotPrivate(const struct stat& st) {
  if (st.st_uid != ::geteuid())
    return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  if (!S_ISLNK(st.st_mode) && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("its group or other users may write to it (mode ") + mode + ")";
  }
  return "";
}

bool Private(const struct stat& st, std::string* err) {
  const std::string why = WhyNotPrivate(st);
  if (why.empty()) return true;
  *err = why;
  return false;
}

// How copy_file_range says it cannot copy between two files at all: they
// lie on two file systems it cannot copy across, a file system or kernel
// without it, or files it will not take (EINVAL).
bool CannotCopyBetween(int error) {
  return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP ||
         error == EINVAL || error == EBADF;
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : m_fd(fd) {}
  ~PosixFile() override {
    if (m_fd >= 0) ::close(m_fd);
  }

  bool Read(void* buffer, size_t size, size_t* got, std::string* err) override {
    *got = 0;
    while (*got < size) {
      ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + *got, size - *got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail(err, "read");
      if (n == 0) break;
      *got += static_cast<size_t>(n);
    }
    return true;
  }

  bool Write(const void* data, size_t size, std::string* err) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::write(m_fd, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail(err, "write");
      p += n;
      size -= static_cast<size_t>(n);
      m_position += n;
    }
    StartWriteback();
    return true;
  }

  CopyResult CopyFrom(File& from, uint64_t size, std::string* err) override {
    auto* source = dynamic_cast<PosixFile*>(&from);
    if (!source) return CopyResult::kUnsupported;
    for (uint64_t left = size; left > 0;) {
      const ssize_t n =
          ::copy_file_range(source->m_fd, nullptr, m_fd, nullptr,
                            static_cast<size_t>(std::min<uint64_t>(left, 1 << 30)), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && left == size && CannotCopyBetween(errno)) return CopyResult::kUnsupported;
      if (n <= 0) {
        if (n == 0) errno = ENODATA;  // the source ended first
        Fail(err, "copy_file_range");
        return CopyResult::kFailed;
      }
      left -= static_cast<uint64_t>(n);
      m_position += n;
    }
    StartWriteback();
    return CopyResult::kCopied;
  }

  bool Size(uint64_t* size, std::string* err) override {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return Fail(err, "fstat");
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }

  bool Stamp(FileStamp* stamp, std::string* err) override {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return Fail(err, "fstat");
    *stamp = StampOf(st);
    return true;
  }

  bool Seek(uint64_t offset, std::string* err) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
      errno = EINVAL;
      return Fail(err, "lseek");
    }
    const off_t at = ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET);
    if (at < 0) return Fail(err, "lseek");
    m_position = at;
    m_writtenBackTo = std::min(m_writtenBackTo, at);
    return true;
  }

  bool Truncate(uint64_t size, std::string* err) override {
    if (size > static_cast<uint64_t>(INT64_MAX)) {
      errno = EINVAL;
      return Fail(err, "ftruncate");
    }
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) return Fail(err, "ftruncate");
    m_writtenBackTo = std::min<off_t>(m_writtenBackTo, static_cast<off_t>(size));
    return true;
  }

  bool Sync(std::string* err) override { return ::fsync(m_fd) == 0 || Fail(err, "fsync"); }

  bool Close(std::string* err) override {
    int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 || Fail(err, "close");
  }

  bool IsPrivate(std::string* err) override {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return Fail(err, "fstat");
    return Private(st, err);
  }

 private:
  // Linux writes a file back to disk long after it is written, so the Sync
  // that must come before a package is trusted would find all of it still
  // to write. Writeback of each 8 MiB written is started at once instead,
  // without waiting for it (sync_file_range is advice here: Sync still
  // reports what failed), so that Sync finds little left.
  void StartWriteback() {
    constexpr off_t kStep = 8 << 20;
    if (m_position - m_writtenBackTo < kStep) return;
    ::sync_file_range(m_fd, m_writtenBackTo, m_position - m_writtenBackTo, SYNC_FILE_RANGE_WRITE);
    m_writtenBackTo = m_position;
  }

  int m_fd;
  off_t m_position = 0;
  off_t m_writtenBackTo = 0;
};

// Accepts regular files only. Anything else is turned away before it is
// opened, since opening a device can have effects of its own; the open does
// not block (a named pipe would wait for a writer) nor take a terminal for
// the process, should the path have been replaced in between, and the check
// after it has the last word.
int OpenRegularFile(const std::string& path, std::string* err) {
  struct stat before;
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
    errno = S_ISDIR(before.st_mode) ? EISDIR : EINVAL;
    Fail(err, "open");
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    Fail(err, "open");
    return -1;
  }
  struct stat st;
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    if (stated) errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    Fail(err, "open");
    ::close(fd);
    return -1;
  }
  return fd;
}

std::unique_ptr<File> CreateWith(const std::string& path, int flags, mode_t mode,
                                 std::string* err) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, mode);
  if (fd < 0) {
    Fail(err, "open");
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd);
}

// POSIX has no share modes: a lock stands in for "without sharing", so that
// a file another build is writing is refused, not emptied under it. The lock
// is advisory and holds against those that ask for it alone; where the file
// system has no locks, the file is written without one. A link at the path,
// left by accident or laid by someone else, is refused, not written through.
std::unique_ptr<File> CreateUnshared(const std::string& path, std::string* err) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    Fail(err, "open");
    return nullptr;
  }
  auto file = std::make_unique<PosixFile>(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    Fail(err, "flock");
    return nullptr;
  }
  if (::ftruncate(fd, 0) != 0) {  // emptied only once it is ours
    Fail(err, "ftruncate");
    return nullptr;
  }
  return file;
}

// The path with every link, "." and ".." resolved; empty, with *err saying
// why, when it cannot be.
std::string RealPath(const std::string& path, std::string* err) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) {
    Fail(err, "realpath");
    return "";
  }
  std::string result(real);
  std::free(real);
  return result;
}

// Whether the path names an entry of the folder, itself no link: it then
// ends wherever the folder does, inside it, which one lstat tells instead
// of two walks of every step of both paths.
bool IsNoLinkIn(const std::string& folder, const std::string& path) {
  const size_t start = folder.size() + 1;  // as JoinPath joins them
  if (folder.empty() || path.size() <= start || path.compare(0, folder.size(), folder) != 0 ||
      path[folder.size()] != '/' || path.find('/', start) != std::string::npos)
    return false;
  const std::string name = path.substr(start);
  struct stat st;
  return name != "." && name != ".." && ::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode);
}

// How file systems that have no way to sync a folder answer fsync on one:
// EINVAL (as for a pipe), EBADF (where only what is open for writing can be
// synced), EROFS, ENOTSUP or ENOSYS (FUSE file systems that leave it out).
bool CannotSyncFolder(int error) {
  return error == EINVAL || error == EBADF || error == EROFS || error == ENOTSUP ||
         error == EOPNOTSUPP || error == ENOSYS;
}

// A folder that may be written into but not read (mode -wx) cannot be
// opened to be synced, and no other way is open to this user.
bool CannotOpenFolderToSync(int error) { return error == EACCES || error == EPERM; }

class PosixFileSystem : public FileSystem {
 public:
  bool PathExists(const std::string& path, std::string* err) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 || Fail(err, "stat");
  }

  bool IsDevice(const std::string& path) override {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ||
                                               S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
  }

  bool IsReadableFile(const std::string& path, std::string* err) override {
    int fd = OpenRegularFile(path, err);
    if (fd < 0) {
      if (errno == EISDIR) err->clear();
      return false;
    }
    ::close(fd);
    return true;
  }

  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override {
    err->clear();
    if (IsNoLinkIn(folder, path)) return false;
    const std::string inside = RealPath(folder, err), end = RealPath(path, err);
    if (inside.empty() || end.empty()) return false;
    const std::string prefix = inside == "/" ? inside : inside + "/";
    if (end.compare(0, prefix.size(), prefix) == 0) return false;
    *target = end;
    return true;
  }

  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing,
                                       std::string* err) override {
    // POSIX has no share modes: other programs may always read and write.
    int fd = OpenRegularFile(path, err);
    if (fd < 0) return nullptr;
    // Reads of a regular file never block; the flag only mattered for the open.
    ::fcntl(fd, F_SETFL, 0);
    return std::make_unique<PosixFile>(fd);
  }

  std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) override {
    return CreateUnshared(path, err);
  }

  std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) override {
    // O_EXCL alone refuses a link already; O_NOFOLLOW says so where it is read.
    return CreateWith(path, O_EXCL | O_NOFOLLOW, 0666, err);
  }

  std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::string* err) override {
    return CreateWith(path, O_EXCL | O_NOFOLLOW, 0600, err);
  }

  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override {
    names->clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
      Fail(err, "opendir");
      return ListResult::kNotStarted;
    }
    ListResult result = ListResult::kComplete;
    for (;;) {
      errno = 0;
      struct dirent* entry = ::readdir(dir);
      if (!entry) {
        // readdir tells the end from an error only by errno.
        if (errno != 0) {
          Fail(err, "readdir");
          result = ListResult::kFailedPartWay;
        }
        break;
      }
      names->push_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    return result;
  }

  // One lstat an entry, relative to the open folder, and a stat through
  // each link: the stamps Stamp gives.
  ListResult ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                         std::string* err) override {
    std::vector<std::string> names;
    const ListResult listed = ListFolder(folder, &names, err);
    entries->clear();
    entries->reserve(names.size());
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::string& name : names) {
      entries->emplace_back();
      ListedEntry& entry = entries->back();
      struct stat st;
      if (dir >= 0 && ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        entry.kind = KindOf(st);
        entry.stamped = entry.kind == ListedEntry::Kind::kFile;
        if (entry.stamped) entry.stamp = StampOf(st);
      }
      entry.name = std::move(name);
    }
    if (dir >= 0) ::close(dir);
    return listed;
  }

  bool CreateFolder(const std::string& path, std::string* err) override {
    return ::mkdir(path.c_str(), 0777) == 0 || Fail(err, "mkdir");
  }

  bool CreatePrivateFolder(const std::string& path, std::string* err) override {
    return ::mkdir(path.c_str(), 0700) == 0 || Fail(err, "mkdir");
  }

  bool MoveOver(const std::string& from, const std::string& to, std::string* err) override {
    return ::rename(from.c_str(), to.c_str()) == 0 || Fail(err, "rename");
  }

  bool SyncFolderOf(const std::string& path, std::string* err) override {
    const size_t cut = path.rfind('/');
    const std::string folder =
        cut == std::string::npos ? "." : path.substr(0, std::max<size_t>(cut, 1));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return CannotOpenFolderToSync(errno) || Fail(err, "open");
    const bool synced = ::fsync(fd) == 0 || CannotSyncFolder(errno);
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced || Fail(err, "fsync");
  }

  bool RemoveFile(const std::string& path, std::string* err) override {
    return ::unlink(path.c_str()) == 0 || Fail(err, "unlink");
  }

  bool RemoveFolder(const std::string& path, std::string* err) override {
    return ::rmdir(path.c_str()) == 0 || Fail(err, "rmdir");
  }

  bool Identify(const std::string& path, FileIdentity* id, std::string* err) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Fail(err, "stat");
    id->device = static_cast<uint64_t>(st.st_dev);
    id->file = static_cast<uint64_t>(st.st_ino);
    return true;
  }

  bool FileSize(const std::string& path, uint64_t* size, std::string* err) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Fail(err, "stat");
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }

  bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Fail(err, "stat");
    *stamp = StampOf(st);
    return true;
  }

  // The folder resolved, the name kept: the file may not be there yet.
  bool FullPath(const std::string& path, std::string* full, std::string* err) override {
    const size_t cut = path.rfind('/');
    const std::string folder =
        cut == std::string::npos ? "." : path.substr(0, std::max<size_t>(cut, 1));
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const std::string real = RealPath(folder, err);
    if (real.empty()) return false;
    *full = real == "/" ? real + name : real + "/" + name;
    return true;
  }

  bool IsPrivate(const std::string& path, std::string* err) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return Fail(err, "lstat");
    if (!S_ISLNK(st.st_mode)) return Private(st, err);
    if (!Private(st, err)) return false;
    if (::stat(path.c_str(), &st) != 0) return Fail(err, "stat");
    return Private(st, err);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace nv
