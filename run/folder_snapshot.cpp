// One look at a source folder, shared by every stage of a run.
#include "run/folder_snapshot.h"

namespace nv {

FolderSnapshot::FolderSnapshot(FileSystem& disk, std::string folder, size_t heldFiles)
    : m_disk(disk),
      m_folder(std::move(folder)),
      m_prefix(JoinPath(m_folder, "")),
      m_heldFiles(heldFiles) {
  std::vector<ListedEntry> entries;
  m_listed = m_disk.ListEntries(m_folder, &entries, &m_listingFault);
  m_known.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) m_known[i].entry = std::move(entries[i]);
  // The names stay where they are from here on: the map holds views of them.
  m_byName.reserve(m_known.size());
  for (size_t i = 0; i < m_known.size(); ++i) m_byName.emplace(m_known[i].entry.name, i);
}

FolderSnapshot::Known* FolderSnapshot::Find(const std::string& path) {
  if (path.size() <= m_prefix.size() || path.compare(0, m_prefix.size(), m_prefix)) return nullptr;
  auto it = m_byName.find(std::string_view(path).substr(m_prefix.size()));
  return it == m_byName.end() ? nullptr : &m_known[it->second];
}

void FolderSnapshot::Forget(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Known* known = Find(path);
  if (!known) return;
  if (known->held) --m_held;
  known->entry.kind = Kind::kUnknown;
  known->entry.stamped = false;  // the name stays: the map holds a view of it
  known->tested = false;
  known->held.reset();
}

bool FolderSnapshot::PathExists(const std::string& path, std::string* err) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Known* known = Find(path);
    // A link may lead nowhere, which the disk tells.
    if (known && known->entry.kind != Kind::kUnknown && known->entry.kind != Kind::kLink)
      return true;
  }
  return m_disk.PathExists(path, err);
}

// The test opens the file, which tells what no listing does (permissions,
// another program's hold on it), so it is made once, as the disk answers.
bool FolderSnapshot::IsReadableFile(const std::string& path, std::string* err) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Known* known = Find(path);
    if (known && known->tested) {
      *err = known->why;
      return known->readable;
    }
  }
  std::string why;
  const bool readable = Test(path, &why);
  *err = why;
  return readable;
}

// A regular file, itself no link, opens for reading exactly when it passes
// the test; a file opened to be held keeps its place until it is read.
bool FolderSnapshot::Test(const std::string& path, std::string* why) {
  bool hold = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Known* known = Find(path);
    hold = known && known->entry.kind == Kind::kFile && m_held < m_heldFiles;
    if (hold) ++m_held;
  }
  std::unique_ptr<File> file;
  const bool readable = hold ? (file = m_disk.OpenForReading(path, Sharing::kRead, why)) != nullptr
                             : m_disk.IsReadableFile(path, why);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (hold && !file) --m_held;
  Known* known = Find(path);
  if (!known) return readable;
  known->tested = true;
  known->readable = readable;
  known->why = *why;
  known->held = std::move(file);
  return readable;
}

bool FolderSnapshot::IsDevice(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Known* known = Find(path);
    if (known && (known->entry.kind == Kind::kFile || known->entry.kind == Kind::kFolder))
      return false;
  }
  return m_disk.IsDevice(path);
}

// An entry that is itself no link ends wherever the folder does: inside it.
bool FolderSnapshot::LeadsOutside(const std::string& folder, const std::string& path,
                                  std::string* target, std::string* err) {
  if (IsListed(folder)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Known* known = Find(path);
    if (known && (known->entry.kind == Kind::kFile || known->entry.kind == Kind::kFolder)) {
      err->clear();
      return false;
    }
  }
  return m_disk.LeadsOutside(folder, path, target, err);
}

std::unique_ptr<File> FolderSnapshot::OpenForReading(const std::string& path, Sharing sharing,
                                                     std::string* err) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Known* known = Find(path);
    if (known && known->held) {
      --m_held;
      return std::move(known->held);
    }
  }
  return m_disk.OpenForReading(path, sharing, err);
}

std::unique_ptr<File> FolderSnapshot::CreateForWriting(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.CreateForWriting(path, err);
}

std::unique_ptr<File> FolderSnapshot::CreateNew(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.CreateNew(path, err);
}

ListResult FolderSnapshot::ListFolder(const std::string& folder, std::vector<std::string>* names,
                                      std::string* err) {
  if (!IsListed(folder)) return m_disk.ListFolder(folder, names, err);
  names->clear();
  names->reserve(m_known.size());
  for (const Known& known : m_known) names->push_back(known.entry.name);
  if (m_listed != ListResult::kComplete) *err = m_listingFault;
  return m_listed;
}

ListResult FolderSnapshot::ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                                       std::string* err) {
  if (!IsListed(folder)) return m_disk.ListEntries(folder, entries, err);
  std::lock_guard<std::mutex> lock(m_mutex);
  entries->clear();
  entries->reserve(m_known.size());
  for (const Known& known : m_known) entries->push_back(known.entry);
  if (m_listed != ListResult::kComplete) *err = m_listingFault;
  return m_listed;
}

bool FolderSnapshot::CreateFolder(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.CreateFolder(path, err);
}

bool FolderSnapshot::CreatePrivateFolder(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.CreatePrivateFolder(path, err);
}

std::unique_ptr<File> FolderSnapshot::CreatePrivateFile(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.CreatePrivateFile(path, err);
}

bool FolderSnapshot::MoveOver(const std::string& from, const std::string& to, std::string* err) {
  Forget(from);
  Forget(to);
  return m_disk.MoveOver(from, to, err);
}

bool FolderSnapshot::SyncFolderOf(const std::string& path, std::string* err) {
  return m_disk.SyncFolderOf(path, err);
}

bool FolderSnapshot::RemoveFile(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.RemoveFile(path, err);
}

bool FolderSnapshot::RemoveFolder(const std::string& path, std::string* err) {
  Forget(path);
  return m_disk.RemoveFolder(path, err);
}

bool FolderSnapshot::KnownStamp(const std::string& path, FileStamp* stamp, std::string* err) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Known* known = Find(path);
    if (known && known->entry.stamped) {
      *stamp = known->entry.stamp;
      return true;
    }
    if (!known) return m_disk.Stamp(path, stamp, err);
  }
  if (!m_disk.Stamp(path, stamp, err)) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (Known* known = Find(path)) {
    known->entry.stamped = true;
    known->entry.stamp = *stamp;
  }
  return true;
}

bool FolderSnapshot::Identify(const std::string& path, FileIdentity* id, std::string* err) {
  FileStamp stamp;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!Find(path)) return m_disk.Identify(path, id, err);
  }
  if (!KnownStamp(path, &stamp, err)) return false;
  *id = stamp.identity;
  return true;
}

bool FolderSnapshot::FileSize(const std::string& path, uint64_t* size, std::string* err) {
  FileStamp stamp;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!Find(path)) return m_disk.FileSize(path, size, err);
  }
  if (!KnownStamp(path, &stamp, err)) return false;
  *size = stamp.size;
  return true;
}

bool FolderSnapshot::Stamp(const std::string& path, FileStamp* stamp, std::string* err) {
  return KnownStamp(path, stamp, err);
}

bool FolderSnapshot::FullPath(const std::string& path, std::string* full, std::string* err) {
  return m_disk.FullPath(path, full, err);
}

bool FolderSnapshot::IsPrivate(const std::string& path, std::string* err) {
  return m_disk.IsPrivate(path, err);
}

}  // namespace nv
