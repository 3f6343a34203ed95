// The in-memory disk of the tests.
#include "testing/memory_file_system.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

namespace nv {

namespace {

// What IsPrivate says of what another user has.
const char kForeign[] = "it belongs to another user";

}  // namespace

class MemoryFileSystem::MemoryFile : public File {
 public:
  MemoryFile(MemoryFileSystem* fs, std::string path, std::shared_ptr<Node> data, bool writing)
      : m_fs(fs), m_path(std::move(path)), m_data(std::move(data)), m_writing(writing) {
    ++m_fs->m_openFiles;
    if (m_writing) m_fs->m_held.insert(m_path);
  }
  ~MemoryFile() override {
    Lock lock(m_fs->m_mutex);
    Release();
  }

  bool Read(void* buffer, size_t size, size_t* got, std::string* err) override {
    Lock lock(m_fs->m_mutex);
    *got = 0;
    if (!m_fs->Allowed(Op::Read, m_path, err)) return false;
    size_t n = m_offset < m_data->size() ? std::min(size, m_data->size() - m_offset) : 0;
    if (n) std::memcpy(buffer, m_data->data() + m_offset, n);
    m_offset += n;
    *got = n;
    return true;
  }

  bool Write(const void* data, size_t size, std::string* err) override {
    Lock lock(m_fs->m_mutex);
    if (!m_fs->Allowed(Op::Write, m_path, err)) return false;
    // Written where the last write or seek left off, as on a disk.
    m_data->resize(std::max(m_data->size(), m_offset));
    m_data->replace(m_offset, std::min(size, m_data->size() - m_offset),
                    static_cast<const char*>(data), size);
    m_offset += size;
    m_fs->Touch(m_data.get());
    return true;
  }

  bool Size(uint64_t* size, std::string* err) override {
    Lock lock(m_fs->m_mutex);
    if (!m_fs->Allowed(Op::Size, m_path, err)) return false;
    auto apparent = m_fs->m_sizes.find(m_path);
    *size = apparent != m_fs->m_sizes.end() ? apparent->second : m_data->size();
    return true;
  }

  bool Stamp(FileStamp* stamp, std::string* err) override {
    Lock lock(m_fs->m_mutex);
    if (!m_fs->Allowed(Op::Stamp, m_path, err)) return false;
    *stamp = m_fs->StampOf(m_path, *m_data);
    return true;
  }

  bool Seek(uint64_t offset, std::string* err) override {
    Lock lock(m_fs->m_mutex);
    if (!m_fs->Allowed(Op::Seek, m_path, err)) return false;
    m_offset = static_cast<size_t>(std::min<uint64_t>(offset, SIZE_MAX));
    return true;
  }

  bool Truncate(uint64_t size, std::string* err) override {
    Lock lock(m_fs->m_mutex);
    if (!m_fs->Allowed(Op::Truncate, m_path, err)) return false;
    m_data->resize(std::min<uint64_t>(size, m_data->size()));
    m_fs->Touch(m_data.get());
    return true;
  }

  bool Sync(std::string* err) override {
    Lock lock(m_fs->m_mutex);
    return m_fs->Allowed(Op::Sync, m_path, err);
  }

  bool Close(std::string* err) override {
    Lock lock(m_fs->m_mutex);
    bool ok = m_fs->Allowed(Op::Close, m_path, err);
    Release();
    return ok;
  }

  bool IsPrivate(std::string* err) override {
    Lock lock(m_fs->m_mutex);
    if (!m_fs->Allowed(Op::IsPrivate, m_path, err)) return false;
    if (m_data->foreign) *err = kForeign;
    return !m_data->foreign;
  }

 private:
  void Release() {
    if (!m_open) return;
    m_open = false;
    --m_fs->m_openFiles;
    if (m_writing) m_fs->m_held.erase(m_path);
  }

  MemoryFileSystem* m_fs;
  std::string m_path;
  std::shared_ptr<Node> m_data;
  bool m_writing;
  bool m_open = true;
  size_t m_offset = 0;
};

std::string MemoryFileSystem::Normal(const std::string& given) const {
  // Windows takes '/' as a separator as well as its own '\\'.
  std::string path = given;
  if (kPathSeparator == '\\') std::replace(path.begin(), path.end(), '/', '\\');
  if (path.empty()) return path;
  const bool absolute = path[0] == kPathSeparator;
  std::string out = absolute ? std::string(1, kPathSeparator) : std::string();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = std::min(path.find(kPathSeparator, start), path.size());
    std::string step = path.substr(start, end - start);
    if (!step.empty() && step != ".") {
      if (!out.empty() && out.back() != kPathSeparator) out += kPathSeparator;
      out += step;
    }
    start = end + 1;
  }
  if (out.empty()) return ".";
  if (!foldsCase) return out;
  const auto folded = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (const auto& file : m_files)
    if (folded(file.first) == folded(out)) return file.first;
  for (const std::string& folder : m_folders)
    if (folded(folder) == folded(out)) return folder;
  return out;
}

const char* MemoryFileSystem::NameOf(Op op) {
  switch (op) {
    case Op::PathExists:
      return "PathExists";
    case Op::IsDevice:
      return "IsDevice";
    case Op::IsReadableFile:
      return "IsReadableFile";
    case Op::LeadsOutside:
      return "LeadsOutside";
    case Op::OpenForReading:
      return "OpenForReading";
    case Op::CreateForWriting:
      return "CreateForWriting";
    case Op::CreateNew:
      return "CreateNew";
    case Op::ListFolder:
      return "ListFolder";
    case Op::ListEntry:
      return "ListEntry";
    case Op::CreateFolder:
      return "CreateFolder";
    case Op::CreatePrivateFolder:
      return "CreatePrivateFolder";
    case Op::CreatePrivateFile:
      return "CreatePrivateFile";
    case Op::MoveOver:
      return "MoveOver";
    case Op::SyncFolderOf:
      return "SyncFolderOf";
    case Op::RemoveFile:
      return "RemoveFile";
    case Op::RemoveFolder:
      return "RemoveFolder";
    case Op::Identify:
      return "Identify";
    case Op::FileSize:
      return "FileSize";
    case Op::Stamp:
      return "Stamp";
    case Op::FullPath:
      return "FullPath";
    case Op::IsPrivate:
      return "IsPrivate";
    case Op::Read:
      return "Read";
    case Op::Write:
      return "Write";
    case Op::Size:
      return "Size";
    case Op::Seek:
      return "Seek";
    case Op::Truncate:
      return "Truncate";
    case Op::Sync:
      return "Sync";
    case Op::Close:
      return "Close";
  }
  return "?";
}

bool MemoryFileSystem::Allowed(Op op, const std::string& path, std::string* err) {
  if (!before || before(op, path)) return true;
  *err = faultText;
  return false;
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::NewNode(std::string contents) {
  auto node = std::make_shared<Node>();
  node->assign(std::move(contents));
  node->serial = ++m_serials;
  Touch(node.get());
  return node;
}

void MemoryFileSystem::Touch(Node* node) {
  m_clock += 1000000000;
  node->modified = node->changed = m_clock;
}

FileStamp MemoryFileSystem::StampOf(const std::string& path, const Node& node) const {
  FileStamp stamp;
  auto apparent = m_sizes.find(path);
  stamp.size = apparent != m_sizes.end() ? apparent->second : node.size();
  stamp.modified = node.modified;
  stamp.changed = node.changed;
  stamp.identity = {1, node.serial};
  return stamp;
}

void MemoryFileSystem::AddFile(const std::string& path, std::string contents) {
  Lock lock(m_mutex);
  m_files[Normal(path)] = NewNode(std::move(contents));
  // What stood there, a link or a file of another size, is gone with it.
  m_links.erase(Normal(path));
  m_sizes.erase(Normal(path));
}

void MemoryFileSystem::RewriteFile(const std::string& path, std::string contents,
                                   int64_t modified) {
  Lock lock(m_mutex);
  Node& node = *m_files.at(Normal(path));
  node.assign(std::move(contents));
  Touch(&node);
  if (modified != 0) node.modified = modified;
}

void MemoryFileSystem::AppendToFile(const std::string& path, const std::string& bytes) {
  Lock lock(m_mutex);
  Node& node = *m_files.at(Normal(path));
  node.append(bytes);
  Touch(&node);
}

void MemoryFileSystem::MakeForeign(const std::string& path) {
  Lock lock(m_mutex);
  const std::string p = Normal(path);
  auto file = m_files.find(p);
  if (file != m_files.end())
    file->second->foreign = true;
  else
    m_foreignFolders.insert(p);
}

void MemoryFileSystem::AddFolder(const std::string& path) {
  Lock lock(m_mutex);
  m_folders.insert(Normal(path));
}

bool MemoryFileSystem::HasFile(const std::string& path) const {
  Lock lock(m_mutex);
  return m_files.count(Normal(path)) != 0;
}

const std::string& MemoryFileSystem::Contents(const std::string& path) const {
  Lock lock(m_mutex);
  static const std::string none;
  auto it = m_files.find(Normal(path));
  return it == m_files.end() ? none : *it->second;
}

bool MemoryFileSystem::PathExists(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::PathExists, path, err)) return false;
  std::string p = Normal(path);
  if (m_files.count(p) || m_folders.count(p) || m_devices.count(p)) return true;
  *err = "no such file";
  return false;
}

// A call that fails cannot tell, as lstat that fails does not.
bool MemoryFileSystem::IsDevice(const std::string& path) {
  Lock lock(m_mutex);
  std::string unused;
  return Allowed(Op::IsDevice, path, &unused) && m_devices.count(Normal(path)) != 0;
}

bool MemoryFileSystem::IsReadableFile(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::IsReadableFile, path, err)) return false;
  if (Open(path, err)) return true;
  if (IsFolder(path)) err->clear();
  return false;
}

// Listings hold "." and "..", which are folders wherever they stand.
bool MemoryFileSystem::IsFolder(const std::string& path) const {
  const size_t name = path.find_last_of(kPathSeparator) + 1;
  return m_folders.count(Normal(path)) || path.compare(name, std::string::npos, ".") == 0 ||
         path.compare(name, std::string::npos, "..") == 0;
}

bool MemoryFileSystem::LeadsOutside(const std::string& folder, const std::string& path,
                                    std::string* target, std::string* err) {
  Lock lock(m_mutex);
  err->clear();
  if (!Allowed(Op::LeadsOutside, path, err)) return false;
  auto link = m_links.find(Normal(path));
  if (link == m_links.end() || link->second.rfind(Normal(folder) + kPathSeparator, 0) == 0)
    return false;
  *target = link->second;
  return true;
}

std::unique_ptr<File> MemoryFileSystem::OpenForReading(const std::string& path, Sharing,
                                                       std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::OpenForReading, path, err)) return nullptr;
  return Open(path, err);
}

std::unique_ptr<File> MemoryFileSystem::Open(const std::string& path, std::string* err) {
  std::string p = Normal(path);
  auto it = m_files.find(p);
  if (it == m_files.end() || m_held.count(p)) {
    *err = it == m_files.end() ? "no such file" : "held by another program";
    return nullptr;
  }
  return std::make_unique<MemoryFile>(this, p, it->second, false);
}

// A private file is made as any other: each is the user's alone until
// MakeForeign says otherwise.
std::unique_ptr<File> MemoryFileSystem::Create(Op op, const std::string& path, std::string* err) {
  if (!Allowed(op, path, err)) return nullptr;
  const bool mustBeNew = op != Op::CreateForWriting;
  std::string p = Normal(path);
  if (m_folders.count(p) || m_held.count(p) || (mustBeNew && m_files.count(p))) {
    *err = "cannot create";
    return nullptr;
  }
  auto data = NewNode("");
  m_files[p] = data;
  return std::make_unique<MemoryFile>(this, p, data, true);
}

std::unique_ptr<File> MemoryFileSystem::CreateForWriting(const std::string& path,
                                                         std::string* err) {
  Lock lock(m_mutex);
  return Create(Op::CreateForWriting, path, err);
}

std::unique_ptr<File> MemoryFileSystem::CreateNew(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  return Create(Op::CreateNew, path, err);
}

std::unique_ptr<File> MemoryFileSystem::CreatePrivateFile(const std::string& path,
                                                          std::string* err) {
  Lock lock(m_mutex);
  return Create(Op::CreatePrivateFile, path, err);
}

ListResult MemoryFileSystem::ListFolder(const std::string& folder, std::vector<std::string>* names,
                                        std::string* err) {
  Lock lock(m_mutex);
  names->clear();
  std::string prefix = Normal(folder);
  if (!Allowed(Op::ListFolder, prefix, err)) return ListResult::kNotStarted;
  if (!m_folders.count(prefix)) {
    *err = "no such folder";
    return ListResult::kNotStarted;
  }
  if (prefix.back() != kPathSeparator) prefix += kPathSeparator;
  std::vector<std::string> all = {".", ".."};
  auto direct = [&](const std::string& path) {
    if (path.compare(0, prefix.size(), prefix) != 0) return;
    std::string rest = path.substr(prefix.size());
    if (!rest.empty() && rest.find(kPathSeparator) == std::string::npos) all.push_back(rest);
  };
  for (const auto& f : m_files) direct(f.first);
  for (const auto& d : m_folders) direct(d);
  std::sort(all.begin(), all.end());
  if (listReversed) std::reverse(all.begin(), all.end());
  for (const std::string& name : all) {
    if (!Allowed(Op::ListEntry, prefix + name, err)) return ListResult::kFailedPartWay;
    names->push_back(name);
  }
  return ListResult::kComplete;
}

bool MemoryFileSystem::CreateFolder(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  return MakeFolder(Op::CreateFolder, path, err);
}

bool MemoryFileSystem::CreatePrivateFolder(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  return MakeFolder(Op::CreatePrivateFolder, path, err);
}

bool MemoryFileSystem::MakeFolder(Op op, const std::string& path, std::string* err) {
  if (!Allowed(op, path, err)) return false;
  std::string p = Normal(path);
  if (m_folders.count(p) || m_files.count(p)) {
    *err = "exists";
    return false;
  }
  m_folders.insert(p);
  return true;
}

bool MemoryFileSystem::MoveOver(const std::string& from, const std::string& to, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::MoveOver, to, err)) return false;
  std::string f = Normal(from), t = Normal(to);
  auto it = m_files.find(f);
  if (it == m_files.end() || m_held.count(t) || m_held.count(f) || m_folders.count(t)) {
    *err = "cannot move";
    return false;
  }
  m_files[t] = it->second;
  m_files.erase(f);
  m_devices.erase(t);
  Touch(m_files[t].get());  // a move is a change of the file, as POSIX's ctime has it
  return true;
}

bool MemoryFileSystem::SyncFolderOf(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  return Allowed(Op::SyncFolderOf, path, err);
}

bool MemoryFileSystem::RemoveFile(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::RemoveFile, path, err)) return false;
  if (!m_files.erase(Normal(path)) && !m_devices.erase(Normal(path))) {
    *err = "no such file";
    return false;
  }
  return true;
}

bool MemoryFileSystem::RemoveFolder(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::RemoveFolder, path, err)) return false;
  const std::string p = Normal(path);
  const std::string inside = p + kPathSeparator;
  auto within = [&inside](const std::string& other) {
    return other.compare(0, inside.size(), inside) == 0;
  };
  auto file = m_files.lower_bound(inside);
  auto folder = m_folders.lower_bound(inside);
  if (!m_folders.count(p)) {
    *err = "no such folder";
  } else if ((file != m_files.end() && within(file->first)) ||
             (folder != m_folders.end() && within(*folder))) {
    *err = "not empty";
  } else {
    m_folders.erase(p);
    return true;
  }
  return false;
}

bool MemoryFileSystem::FileSize(const std::string& path, uint64_t* size, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::FileSize, path, err)) return false;
  std::string p = Normal(path);
  auto file = m_files.find(p);
  if (file == m_files.end()) {
    *err = "no such file";
    return false;
  }
  auto apparent = m_sizes.find(p);
  *size = apparent != m_sizes.end() ? apparent->second : file->second->size();
  return true;
}

bool MemoryFileSystem::Identify(const std::string& path, FileIdentity* id, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::Identify, path, err)) return false;
  std::string p = Normal(path);
  if (!m_files.count(p) && !m_folders.count(p)) {
    *err = "no such file";
    return false;
  }
  id->device = 1;
  auto file = m_files.find(p);
  id->file = file != m_files.end() ? file->second->serial : std::hash<std::string>()(p);
  return true;
}

bool MemoryFileSystem::Stamp(const std::string& path, FileStamp* stamp, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::Stamp, path, err)) return false;
  const std::string p = Normal(path);
  auto file = m_files.find(p);
  if (file == m_files.end()) {
    *err = "no such file";
    return false;
  }
  *stamp = StampOf(p, *file->second);
  return true;
}

// Paths here have no links and no current folder: a relative one is taken
// from the root.
bool MemoryFileSystem::FullPath(const std::string& path, std::string* full, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::FullPath, path, err)) return false;
  const std::string p = Normal(path);
  *full = !p.empty() && p[0] == kPathSeparator ? p : kPathSeparator + p;
  return true;
}

bool MemoryFileSystem::IsPrivate(const std::string& path, std::string* err) {
  Lock lock(m_mutex);
  if (!Allowed(Op::IsPrivate, path, err)) return false;
  const std::string p = Normal(path);
  auto file = m_files.find(p);
  if (file == m_files.end() && !m_folders.count(p)) {
    *err = "no such file";
    return false;
  }
  const bool foreign =
      file != m_files.end() ? file->second->foreign : m_foreignFolders.count(p) != 0;
  if (foreign) *err = kForeign;
  return !foreign;
}

}  // namespace nv
