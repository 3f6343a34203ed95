// The build cache's folder: the files of each kind, named, read, written
// and pruned.
#include "package/cache_files.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "package/fresh_token.h"
#include "package/package_temporaries.h"
#include "platform/content_hash.h"
#include "run/stamp_trust.h"

namespace nv {

namespace {

// At most this many files of a kind are kept; those written longest ago
// go first.
constexpr size_t kMaxFilesOfAKind = 100;

constexpr size_t kKeyDigits = 32;
constexpr size_t kTokenDigits = 16;
constexpr char kTemporarySuffix[] = ".tmp";

std::string Hex(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

bool IsKey(const std::string& name) {
  return name.size() >= kKeyDigits &&
         std::all_of(name.begin(), name.begin() + kKeyDigits,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// "KEY" + suffix.
bool IsNamed(const std::string& name, const std::string& suffix) {
  return name.size() == kKeyDigits + suffix.size() && IsKey(name) &&
         name.compare(kKeyDigits, std::string::npos, suffix) == 0;
}

// "KEY" + suffix + ".TOKEN.tmp".
bool IsTemporary(const std::string& name, const std::string& suffix) {
  const size_t base = kKeyDigits + suffix.size(), tail = sizeof kTemporarySuffix - 1;
  return name.size() == base + 1 + kTokenDigits + tail && IsNamed(name.substr(0, base), suffix) &&
         name[base] == '.' && name.compare(name.size() - tail, tail, kTemporarySuffix) == 0;
}

}  // namespace

bool ReadAll(File& file, size_t size, std::string* bytes, std::string* err) {
  bytes->resize(size);
  size_t got = 0;
  if (!file.Read(&(*bytes)[0], size, &got, err)) return false;
  bytes->resize(got);
  return true;
}

bool IsCacheFileName(const std::string& name) {
  for (const char* suffix : {kPackageCacheSuffix, kImageCacheSuffix})
    if (IsNamed(name, suffix) || IsTemporary(name, suffix)) return true;
  return false;
}

std::unique_ptr<CacheFileWriting> CacheFileWriting::Begin(FileSystem& fs, const std::string& path,
                                                          std::string* err) {
  const std::string temporary = path + "." + TokenDigits(FreshToken()) + kTemporarySuffix;
  std::unique_ptr<File> file = fs.CreatePrivateFile(temporary, err);
  if (!file) return nullptr;
  return std::unique_ptr<CacheFileWriting>(
      new CacheFileWriting(fs, path, temporary, std::move(file)));
}

CacheFileWriting::CacheFileWriting(FileSystem& fs, std::string path, std::string temporary,
                                   std::unique_ptr<File> file)
    : m_fs(fs),
      m_path(std::move(path)),
      m_temporary(std::move(temporary)),
      m_file(std::move(file)),
      m_removed(m_temporary) {}

CacheFileWriting::~CacheFileWriting() {
  if (m_finished) return;
  std::string unused;
  m_file.reset();
  m_fs.RemoveFile(m_temporary, &unused);
}

bool CacheFileWriting::Finish(const std::string& bytes, std::string* err) {
  m_finished = m_file->Write(bytes.data(), bytes.size(), err) && m_file->Close(err) &&
               m_fs.MoveOver(m_temporary, m_path, err);
  return m_finished;
}

CacheFiles::CacheFiles(FileSystem& fs, std::string folder, std::string suffix, std::string what)
    : m_fs(fs), m_folder(std::move(folder)), m_suffix(std::move(suffix)), m_what(std::move(what)) {}

bool CacheFiles::FileOf(const std::string& fullPath, std::string* file, std::string* err) const {
  ContentDigest digest{};
  if (!HashContent(fullPath.data(), fullPath.size(), &digest, err)) return false;
  *file = JoinPath(m_folder, Hex(digest.data(), kKeyDigits / 2) + m_suffix);
  return true;
}

bool CacheFiles::Usable(const RunContext& run) const {
  std::string why, absent;
  if (!m_fs.PathExists(m_folder, &absent) || m_fs.IsPrivate(m_folder, &why)) return true;
  run.Note(m_folder, m_what + " not used: " + why);
  return false;
}

// No file is no fault: nothing was kept there yet.
bool CacheFiles::Read(const RunContext& run, const std::string& path, uint64_t maxBytes,
                      std::string* bytes) const {
  std::string err, absent;
  std::unique_ptr<File> file = m_fs.OpenForReading(path, Sharing::kReadDelete, &err);
  uint64_t size = 0;
  if (!file) {
    if (m_fs.PathExists(path, &absent)) run.Note(path, m_what + " not read: " + err);
    return false;
  }
  if (!file->IsPrivate(&err)) {
    run.Note(path, m_what + " not used: " + err);
    return false;
  }
  if (!file->Size(&size, &err) || size > maxBytes ||
      !ReadAll(*file, static_cast<size_t>(size), bytes, &err)) {
    if (err.empty()) err = "it is larger than any this program writes";
    run.Note(path, m_what + " not read: " + err);
    return false;
  }
  return true;
}

bool CacheFiles::MakeFolder(const RunContext& run, const std::string& path) const {
  std::vector<std::string> missing;
  std::string err, absent;
  for (std::string at = m_folder; !at.empty() && !m_fs.PathExists(at, &absent); at = ParentOf(at))
    missing.push_back(at);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    // Another run may have made it meanwhile.
    if (!m_fs.CreatePrivateFolder(*it, &err) && !m_fs.PathExists(*it, &absent)) {
      run.Note(path, m_what + " not written: " + err);
      return false;
    }
  }
  if (m_fs.IsPrivate(m_folder, &err)) return true;
  run.Note(m_folder, m_what + " not written: " + err);
  return false;
}

bool CacheFiles::IsFileName(const std::string& name) const { return IsNamed(name, m_suffix); }

bool CacheFiles::IsTemporaryName(const std::string& name) const {
  return IsTemporary(name, m_suffix);
}

void CacheFiles::Prune(
    const std::string& kept, int64_t now, size_t prefixBytes,
    const std::function<bool(const std::string& prefix, std::string* path)>& describes) const {
  std::vector<std::string> names;
  std::string err;
  if (m_fs.ListFolder(m_folder, &names, &err) != ListResult::kComplete) return;
  std::vector<std::pair<int64_t, std::string>> remembered;
  for (const std::string& name : names) {
    const std::string path = JoinPath(m_folder, name);
    FileStamp stamp;
    if ((!IsFileName(name) && !IsTemporaryName(name)) || path == kept ||
        !m_fs.Stamp(path, &stamp, &err))
      continue;
    std::string prefix, described;
    std::unique_ptr<File> file =
        IsFileName(name) ? m_fs.OpenForReading(path, Sharing::kReadDelete, &err) : nullptr;
    const bool gone = IsTemporaryName(name)
                          ? stamp.modified < TimeBefore(now, kStaleTemporaryNs)
                          : !file || !file->IsPrivate(&err) ||
                                !ReadAll(*file, prefixBytes, &prefix, &err) ||
                                !describes(prefix, &described) || !m_fs.PathExists(described, &err);
    file.reset();
    if (gone) {
      m_fs.RemoveFile(path, &err);
    } else if (IsFileName(name)) {
      remembered.emplace_back(stamp.modified, path);
    }
  }
  std::sort(remembered.rbegin(), remembered.rend());  // the newest first
  for (size_t i = kMaxFilesOfAKind - 1; i < remembered.size(); ++i)
    m_fs.RemoveFile(remembered[i].second, &err);
}

}  // namespace nv
