// The file-system calls a build makes, behind one seam: the real disk on
// each platform, or an in-memory disk whose calls tests can make fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nv {

// What joins a folder and a name: "\" on Windows, "/" elsewhere.
extern const char kPathSeparator;

// folder + separator + name, with exactly one separator added whether or not
// the folder already ends in one.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path without the separators it ends in ("\" and "/" on Windows, "/"
// elsewhere), so that "themes/ocean/" names the folder "themes/ocean". A root
// ("/", "D:\", "\\server\share\") is kept as it stands: stripped, it would
// name something else.
std::string StripTrailingSeparators(const std::string& path);

// The folder that holds `path`, as spelt: the path without its last step
// (either separator on Windows); empty when it has no other step, or when
// that is the root.
std::string ParentOf(const std::string& path);

// Which names a file may have directly inside a folder.
enum class NameRules {
  kPosix,    // anything but "", "." and "..", without "/" or NUL
  kWindows,  // also no control byte or any of \ : * ? " < > |, no device name
             // (CON, NUL, COM1, ...), no trailing dot or space; letter case is
             // not told apart
};

// The rules of the platform the program runs on.
extern const NameRules kPlatformNameRules;

// Whether a file held open keeps another from being moved over it, even
// one open sharing its removal: on Windows it does.
extern const bool kOpenFilesHoldOffReplacing;

// Where a file lives, to tell whether two spellings name the same file.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity& o) const { return device == o.device && file == o.file; }
};

// What tells a file that changed from one left alone, without reading it:
// its size, when its content was last written and when the file itself
// last changed in any way (content, name, links, permissions; a time
// nobody can set back, unlike the other), both in nanoseconds since 1970,
// and where it lives.
struct FileStamp {
  uint64_t size = 0;
  int64_t modified = 0;
  int64_t changed = 0;
  FileIdentity identity;
  bool operator==(const FileStamp& o) const {
    return size == o.size && modified == o.modified && changed == o.changed &&
           identity == o.identity;
  }
};

// An open file. Every failure comes back as false with the platform's error
// put into words in *err.
class File {
 public:
  virtual ~File() = default;

  // Reads up to `size` bytes; *got is less than size only at the end of the file.
  virtual bool Read(void* buffer, size_t size, size_t* got, std::string* err) = 0;
  // Writes all `size` bytes, or fails.
  virtual bool Write(const void* data, size_t size, std::string* err) = 0;
  virtual bool Size(uint64_t* size, std::string* err) = 0;
  // The file's stamp as it stands now, whatever its path names meanwhile.
  virtual bool Stamp(FileStamp* stamp, std::string* err) = 0;
  // Moves to `offset` bytes from the start, where the next Read or Write begins.
  virtual bool Seek(uint64_t offset, std::string* err) = 0;
  // Cuts the file to its first `size` bytes.
  virtual bool Truncate(uint64_t size, std::string* err) = 0;
  // Makes what was written durable before the file is trusted as complete.
  virtual bool Sync(std::string* err) = 0;
  // Closes the file; it is closed afterwards whatever the result. A file
  // that is destroyed without Close is closed then, unchecked.
  virtual bool Close(std::string* err) = 0;
  // Copies the next `size` bytes of `from` (from where its next Read
  // begins) to where the next Write begins, both moved on by what was
  // copied, without the bytes passing through the program where the system
  // can: on Linux, copy_file_range, which shares the blocks on file systems
  // that can. kUnsupported, before any byte moved, where the system cannot
  // copy between these two files; kFailed, saying why, when either failed
  // or `from` ended first.
  enum class CopyResult { kCopied, kUnsupported, kFailed };
  virtual CopyResult CopyFrom(File& from, uint64_t size, std::string* err);
  // Whether the file is the user's alone, as FileSystem::IsPrivate says of
  // a path; asked of the open file itself, so that another file moved to
  // its path since it was opened cannot answer for it.
  virtual bool IsPrivate(std::string* err) = 0;
};

// What other programs may do with a file that is open for reading: read
// it, and write it too, or replace and remove it too. Windows holds them to
// it; POSIX lets them do all.
enum class Sharing { kRead, kReadWrite, kReadDelete };

// How a folder listing ended.
enum class ListResult {
  kComplete,       // every entry was read
  kNotStarted,     // the folder could not be opened for listing: no names
  kFailedPartWay,  // reading the entries failed: the names read so far
};

// What a listing tells of an entry without asking the disk again: where the
// platform's listing gives it for free, the kind of the entry and its stamp.
struct ListedEntry {
  enum class Kind {
    kUnknown,  // the listing did not say: ask the disk
    kFile,     // a regular file, itself no link
    kFolder,   // itself no link
    kLink,     // a symbolic link (on Windows, any reparse point)
    kOther,    // a device, a pipe or a socket
  };
  std::string name;
  Kind kind = Kind::kUnknown;
  bool stamped = false;  // whether `stamp` is as Stamp gives it
  FileStamp stamp;
};

// Every call says whether it succeeded, and when it did not, puts the
// system's words in *err, which is never null: the operation and its reason,
// as in "write: No space left on device".
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Whether a file or folder of that name exists.
  virtual bool PathExists(const std::string& path, std::string* err) = 0;
  // Whether the path opens for reading as an existing file while others may
  // read it too: folders, devices, pipes and files held open for writing do
  // not. *err is empty for a folder, which is no file at all, rather than
  // one that failed.
  virtual bool IsReadableFile(const std::string& path, std::string* err) = 0;
  // Whether the path names, itself and not through a link, a device, a pipe
  // or a socket (on Windows, also a device name such as NUL, CON or COM1,
  // which names a device in every folder): nothing a file may be moved over.
  virtual bool IsDevice(const std::string& path) = 0;
  // Whether the path, followed through every link on its way, ends outside
  // the folder; *target is then where it ends. When it does not, *err is
  // empty if it ends inside, and says why if either could not be followed.
  virtual bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                            std::string* err) = 0;
  // Opens an existing file for reading; other programs may go on using it
  // as `sharing` says.
  virtual std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                               std::string* err) = 0;
  // Creates the file, or empties an existing one, for writing without sharing:
  // while it is open, no other program can open it (on POSIX, none that asks
  // for the same lock: another build). On POSIX a link at the path fails.
  virtual std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) = 0;
  // Creates a new file for writing, on Windows sharing nothing but its
  // removal (an interrupted run removes it while it is open); fails when
  // anything of that name exists, a link (even one that leads nowhere) or a
  // pipe included, so nothing already there is ever opened or written.
  virtual std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) = 0;
  // The names directly in a folder. Windows gives them in its own order, the
  // POSIX side sorted byte by byte so the same folder always lists the same.
  virtual ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                                std::string* err) = 0;
  // As ListFolder, in the same order, with what the listing tells of each
  // entry; by default nothing beyond its name.
  virtual ListResult ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                                 std::string* err);
  virtual bool CreateFolder(const std::string& path, std::string* err) = 0;
  // As CreateFolder and CreateNew, for the user alone: on POSIX its group
  // and other users are given no permission (0700, 0600), whatever the
  // user's mode mask lets them; on Windows, the folder it is made in keeps
  // it as it keeps what else is there.
  virtual bool CreatePrivateFolder(const std::string& path, std::string* err) = 0;
  virtual std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::string* err) = 0;
  // Moves `from` over `to`, replacing it in one step.
  virtual bool MoveOver(const std::string& from, const std::string& to, std::string* err) = 0;
  // Makes the folder that holds `path` durable as it stands, so that a move
  // into it survives a power cut. Where the file system has no way to sync a
  // folder, there is nothing to do.
  virtual bool SyncFolderOf(const std::string& path, std::string* err) = 0;
  virtual bool RemoveFile(const std::string& path, std::string* err) = 0;
  // Removes a folder only while it is empty: whatever another program put
  // in it meanwhile keeps it, and the call fails.
  virtual bool RemoveFolder(const std::string& path, std::string* err) = 0;
  virtual bool Identify(const std::string& path, FileIdentity* id, std::string* err) = 0;
  // The size of the file at path, without opening it.
  virtual bool FileSize(const std::string& path, uint64_t* size, std::string* err) = 0;
  // The stamp of the file at path (through links), without opening it.
  virtual bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) = 0;
  // The path from the root of its disk, its folder's links resolved: one
  // name for the file however it was spelt. The file itself need not exist.
  virtual bool FullPath(const std::string& path, std::string* full, std::string* err) = 0;
  // Whether the file or folder is the user's alone, as version control
  // tools ask of a repository before they trust what it holds: it belongs
  // to the user running the program, and neither its group nor other users
  // may write to it; a link must be the user's, and so must what it leads
  // to. When it is not, *err says why, as "it belongs to another user (uid
  // 1001)", or gives the system's words. On Windows it always is: what the
  // user keeps in their own profile folder is theirs alone.
  virtual bool IsPrivate(const std::string& path, std::string* err) = 0;
};

// The disk of the platform the program runs on.
FileSystem& RealFileSystem();

}  // namespace nv
