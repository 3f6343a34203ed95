// An in-memory disk for tests: files and folders held in maps, and a hook
// that is asked before every call, so a test can make any call fail or throw.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>
#include <string>

#include "platform/file_system.h"

namespace nv {

class MemoryFileSystem : public FileSystem {
 public:
  // The calls, named as FileSystem's and File's methods are; ListEntry is
  // ListFolder's step from one entry to the next.
  enum class Op {
    // FileSystem's
    PathExists,
    IsDevice,
    IsReadableFile,
    LeadsOutside,
    OpenForReading,
    CreateForWriting,
    CreateNew,
    ListFolder,
    ListEntry,
    CreateFolder,
    CreatePrivateFolder,
    CreatePrivateFile,
    MoveOver,
    SyncFolderOf,
    RemoveFile,
    RemoveFolder,
    Identify,
    FileSize,
    Stamp,  // a file's stamp, by its path or while it is open
    FullPath,
    IsPrivate,  // a file's or folder's, by its path, or a file's while it is open
    // File's
    Read,
    Write,
    Size,
    Seek,
    Truncate,
    Sync,
    Close
  };
  static const char* NameOf(Op op);

  // Asked before each call with the operation and the path it concerns;
  // answering false makes the call fail, with `faultText` as its reason. It
  // may also throw. A listing asks once for the folder (ListFolder) and then
  // once per entry, with the entry's path (ListEntry): failing there ends the
  // listing part-way. MoveOver is asked with the path moved over,
  // SyncFolderOf with the path whose folder is synced, LeadsOutside with the
  // path followed.
  std::function<bool(Op, const std::string& path)> before;
  // Listings in reverse order of names, as another system may list a
  // folder: what is told of its files must not depend on the order.
  bool listReversed = false;
  // Names found in any ASCII letter case, as Windows finds them, each under
  // the case it was made in.
  bool foldsCase = false;
  // What a call the hook fails puts in *err: the words a disk would use, as
  // "write: No space left on device", where a test needs them.
  std::string faultText = "injected fault";

  // A new file at path: another file than any that stood there, by its
  // identity and stamp, even with the same contents, and no link.
  void AddFile(const std::string& path, std::string contents);
  void AddFolder(const std::string& path);
  // A device, a pipe or a socket: it exists, and is no file to open.
  void AddDevice(const std::string& path) {
    Lock lock(m_mutex);
    m_devices.insert(Normal(path));
  }
  // A second name for an existing file: the same file, whichever name is
  // read, written or identified.
  void AddHardLink(const std::string& path, const std::string& existing) {
    Lock lock(m_mutex);
    m_files[Normal(path)] = m_files.at(Normal(existing));
  }
  // Adds to the end of a file, as another program writing it while it is
  // open would: readers that have it open see the new bytes too.
  void AppendToFile(const std::string& path, const std::string& bytes);
  // Writes over the file in place, as an editor that keeps the file does:
  // the same file, with new times (`modified` set to the time given, as a
  // tool that sets it back would, when it is not 0).
  void RewriteFile(const std::string& path, std::string contents, int64_t modified = 0);
  // Moves the disk's clock on, as the time between a save and a build.
  void PassTime(int64_t nanoseconds) {
    Lock lock(m_mutex);
    m_clock += nanoseconds;
  }
  bool HasFile(const std::string& path) const;
  const std::string& Contents(const std::string& path) const;
  // Makes a file stand for a link to `target`, a path that lies outside any
  // folder it is compared with unless it begins with that folder's path.
  void SetLinkTarget(const std::string& path, const std::string& target) {
    Lock lock(m_mutex);
    m_links[Normal(path)] = target;
  }
  // Makes a file or folder another user's (or one others may write to):
  // IsPrivate says no of it, and of the file while it is open, whatever
  // stands at its path by then. A file written over in place stays so; a
  // new one added at its path is the user's.
  void MakeForeign(const std::string& path);
  // Marks a file as held open by another program without read sharing.
  void Hold(const std::string& path) {
    Lock lock(m_mutex);
    m_held.insert(Normal(path));
  }
  int OpenFiles() const {
    Lock lock(m_mutex);
    return m_openFiles;
  }
  // Makes the file report a size other than its contents' length, as a file
  // too large to hold here, or one cut short while it is read, would.
  void SetApparentSize(const std::string& path, uint64_t size) {
    Lock lock(m_mutex);
    m_sizes[Normal(path)] = size;
  }

  bool PathExists(const std::string& path, std::string* err) override;
  bool IsDevice(const std::string& path) override;
  bool IsReadableFile(const std::string& path, std::string* err) override;
  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override;
  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                       std::string* err) override;
  std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) override;
  std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) override;
  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override;
  bool CreateFolder(const std::string& path, std::string* err) override;
  bool CreatePrivateFolder(const std::string& path, std::string* err) override;
  std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::string* err) override;
  bool MoveOver(const std::string& from, const std::string& to, std::string* err) override;
  bool SyncFolderOf(const std::string& path, std::string* err) override;
  bool RemoveFile(const std::string& path, std::string* err) override;
  bool RemoveFolder(const std::string& path, std::string* err) override;
  bool Identify(const std::string& path, FileIdentity* id, std::string* err) override;
  bool FileSize(const std::string& path, uint64_t* size, std::string* err) override;
  bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) override;
  bool FullPath(const std::string& path, std::string* full, std::string* err) override;
  bool IsPrivate(const std::string& path, std::string* err) override;

 private:
  class MemoryFile;
  friend class MemoryFile;

  // A file's bytes, what it is and when it was written and changed, on a
  // clock that steps one second each time any file changes.
  struct Node : std::string {
    uint64_t serial = 0;
    int64_t modified = 0;
    int64_t changed = 0;
    bool foreign = false;
  };
  std::shared_ptr<Node> NewNode(std::string contents);
  void Touch(Node* node);
  FileStamp StampOf(const std::string& path, const Node& node) const;

  // Folds repeated separators and drops "." steps and a trailing separator,
  // so "a//./b/" is "a/b".
  std::string Normal(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  bool Allowed(Op op, const std::string& path, std::string* err);
  std::unique_ptr<File> Open(const std::string& path, std::string* err);
  std::unique_ptr<File> Create(Op op, const std::string& path, std::string* err);
  bool MakeFolder(Op op, const std::string& path, std::string* err);

  std::map<std::string, std::shared_ptr<Node>> m_files;
  uint64_t m_serials = 0;
  int64_t m_clock = 0;
  std::set<std::string> m_folders;
  std::set<std::string> m_devices;
  std::set<std::string> m_foreignFolders;
  std::set<std::string> m_held;
  std::map<std::string, uint64_t> m_sizes;
  std::map<std::string, std::string> m_links;
  int m_openFiles = 0;
  // Packing reads files on several threads; each call holds this, hook included.
  mutable std::recursive_mutex m_mutex;
  using Lock = std::lock_guard<std::recursive_mutex>;
};

}  // namespace nv
