// One look at a source folder, shared by every stage of a run.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"

namespace nv {

// The folder is listed once, when the run begins, with what the platform's
// listing tells of each entry (on Linux, each file's stamp). The stages of
// the run (the rules, the warnings, the check of the folder's files, the
// build cache and the writer) then ask this instead of the disk about the
// folder's entries: the listing, whether an entry exists, is a device or
// leads outside, its stamp, size and identity, and the file test, made once
// a path. Whatever else is asked goes to the disk, and a call through this
// that changes an entry forgets what was known of it. A listing that failed
// is the run's listing all the same: its failure, and the names it read
// before it failed, are what every stage is told. Safe to call from several
// threads at once.
class FolderSnapshot : public FileSystem {
 public:
  // Up to `heldFiles` files that pass the file test are kept open, and
  // the first OpenForReading of each is given the file the test opened: a
  // file the run packs is then opened once. Where a file held open keeps
  // others from writing it (Windows), none should be.
  FolderSnapshot(FileSystem& disk, std::string folder, size_t heldFiles = 0);

  bool PathExists(const std::string& path, std::string* err) override;
  bool IsReadableFile(const std::string& path, std::string* err) override;
  bool IsDevice(const std::string& path) override;
  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override;
  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                       std::string* err) override;
  std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) override;
  std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) override;
  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override;
  ListResult ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
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
  struct Known {
    ListedEntry entry;
    bool tested = false;  // whether the file test was made, and then:
    bool readable = false;
    std::string why;
    std::unique_ptr<File> held;  // as the test opened it, until it is read
  };
  using Kind = ListedEntry::Kind;

  // What is known of the entry the path names; null for any other path.
  // Called with the lock held.
  Known* Find(const std::string& path);
  // The entry's stamp, from the listing or asked of the disk once.
  bool KnownStamp(const std::string& path, FileStamp* stamp, std::string* err);
  // Forgets what was known of the entry the path names, which is changing.
  void Forget(const std::string& path);
  bool IsListed(const std::string& folder) const { return folder == m_folder; }
  // The file test, made by opening the file for reading where it may be
  // held open.
  bool Test(const std::string& path, std::string* why);

  FileSystem& m_disk;
  const std::string m_folder;
  const std::string m_prefix;  // of the paths of its entries
  ListResult m_listed;
  std::string m_listingFault;  // the system's words, when it failed
  // One a listed entry, in listing order, found by its name: each name is
  // kept once, for a folder may hold hundreds of thousands.
  std::vector<Known> m_known;
  std::unordered_map<std::string_view, size_t> m_byName;
  const size_t m_heldFiles;  // at most
  size_t m_held = 0;
  std::mutex m_mutex;
};

}  // namespace nv
