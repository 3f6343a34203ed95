// The build cache's folder: one file a package, recalled, remembered and
// pruned.
#include "package/build_cache.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "package/builder_fingerprint.h"
#include "package/fresh_token.h"
#include "package/package_temporaries.h"
#include "platform/interrupt.h"

namespace nv {

namespace {

// At most this many packages are remembered; the files of those built
// longest ago go first.
constexpr size_t kMaxRemembered = 100;

constexpr char kSuffix[] = ".cache";
constexpr size_t kKeyDigits = 32;

std::string Hex(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

bool IsKey(const std::string& name, size_t from) {
  return name.size() >= from + kKeyDigits &&
         std::all_of(name.begin() + from, name.begin() + from + kKeyDigits,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// "KEY.cache", the file of one package.
bool IsCacheName(const std::string& name) {
  return name.size() == kKeyDigits + sizeof kSuffix - 1 && IsKey(name, 0) &&
         name.compare(kKeyDigits, std::string::npos, kSuffix) == 0;
}

// "KEY.cache.TOKEN.tmp", one being written.
bool IsTemporaryName(const std::string& name) {
  const size_t base = kKeyDigits + sizeof kSuffix - 1;
  return name.size() == base + 1 + 16 + 4 && IsKey(name, 0) &&
         name.compare(kKeyDigits, sizeof kSuffix - 1, kSuffix) == 0 && name[base] == '.' &&
         name.compare(name.size() - 4, 4, ".tmp") == 0;
}

bool ReadAll(File& file, size_t size, std::string* bytes, std::string* err) {
  bytes->resize(size);
  size_t got = 0;
  if (!file.Read(&(*bytes)[0], size, &got, err)) return false;
  bytes->resize(got);
  return true;
}

// The header, the index's record and its block, from the start of the file.
bool ReadIndexBlock(File& file, EntryRecord* record, std::string* block) {
  std::string head, err;
  PackageHeaderBytes header;
  EntryRecordBytes recordBytes;
  if (!ReadAll(file, kPackageHeaderSize + kEntryRecordSize, &head, &err) ||
      head.size() != kPackageHeaderSize + kEntryRecordSize)
    return false;
  std::copy(head.begin(), head.begin() + kPackageHeaderSize, header.begin());
  std::copy(head.begin() + kPackageHeaderSize, head.end(), recordBytes.begin());
  return CheckHeader(header, &err) && ReadRecord(recordBytes, record) &&
         record->entryId == kIndexEntryId && ReadAll(file, record->storedSize, block, &err) &&
         block->size() == record->storedSize;
}

// Whether the index block inflates to the index of exactly these files, in
// this order: a cache that gives a name another file's place is refused.
// The index of a name takes no more than the writer's element of it.
bool ListsTheFiles(const std::string& block, uint32_t originalSize,
                   const std::vector<CachedFile>& files) {
  std::vector<std::string> names;
  for (const CachedFile& file : files) names.push_back(file.name);
  const std::string text = IndexTextOf(names);
  if (text.size() != originalSize) return false;
  std::string inflated(text.size(), '\0');
  uLongf length = static_cast<uLongf>(inflated.size());
  return uncompress(reinterpret_cast<Bytef*>(&inflated[0]), &length,
                    reinterpret_cast<const Bytef*>(block.data()), block.size()) == Z_OK &&
         length == text.size() && inflated == text;
}

}  // namespace

BuildCache::BuildCache(FileSystem& fs, std::string folder, std::string builder, IZlib& zlib)
    : m_fs(fs), m_folder(std::move(folder)), m_builder(std::move(builder)), m_zlib(zlib) {}

bool BuildCache::Usable(const RunContext& run) {
  std::string why, absent;
  if (!m_fs.PathExists(m_folder, &absent) || m_fs.IsPrivate(m_folder, &why)) return true;
  run.Note(m_folder, "build cache not used: " + why);
  return false;
}

const std::string& BuildCache::Fingerprint() {
  std::string err;
  if (m_fingerprint.empty()) BuilderFingerprint(m_builder, m_zlib, &m_fingerprint, &err);
  return m_fingerprint;
}

bool BuildCache::FileOf(const std::string& fullPath, std::string* file, std::string* err) const {
  ContentDigest digest{};
  if (!HashContent(fullPath.data(), fullPath.size(), &digest, err)) return false;
  *file = JoinPath(m_folder, Hex(digest.data(), kKeyDigits / 2) + kSuffix);
  return true;
}

bool BuildCache::FileFor(const std::string& package, std::string* file, std::string* err) const {
  std::string full;
  return m_fs.FullPath(package, &full, err) && FileOf(full, file, err);
}

std::unique_ptr<PreviousPackage> BuildCache::Recall(const RunContext& run,
                                                    const std::string& package, int64_t readFrom) {
  std::string full, path, err;
  CachedPackage cached;
  // A package whose folder cannot be resolved has no last build to take from.
  if (Fingerprint().empty() || !m_fs.FullPath(package, &full, &err) || !FileOf(full, &path, &err) ||
      !Read(run, path, &cached))
    return nullptr;
  if (cached.fingerprint != m_fingerprint || cached.path != full) return nullptr;
  // A last build that began after this one (the clock was set back, or the
  // file says so falsely), or too early for the two seconds before it to be
  // reckoned, can vouch for no file's stamp: the file is taken as damaged.
  if (readFrom < cached.readFrom ||
      cached.readFrom < std::numeric_limits<int64_t>::min() + kRacyNanoseconds) {
    run.Note(path, std::string("build cache ignored: it is damaged: its build time ") +
                       (readFrom < cached.readFrom ? "lies after this build's start"
                                                   : "is out of range"));
    return nullptr;
  }
  std::unique_ptr<File> file = OpenIfDescribed(package, cached);
  if (!file) return nullptr;
  if (kOpenFilesHoldOffReplacing) file.reset();  // so that other builds may replace it
  return std::make_unique<PreviousPackage>(std::move(cached), m_fs, package, std::move(file));
}

// The package, open, when it is exactly the one the cache describes: the
// same file, size and times, and the same index, which lists the cache's
// files in its order. Another build may move its package over this one
// meanwhile, and is let.
std::unique_ptr<File> BuildCache::OpenIfDescribed(const std::string& package,
                                                  const CachedPackage& cached) {
  std::string err, index;
  std::unique_ptr<File> file = m_fs.OpenForReading(package, Sharing::kReadDelete, &err);
  FileStamp stamp;
  EntryRecord record;
  ContentDigest digest{};
  if (!file || !file->Stamp(&stamp, &err) || !(stamp == cached.stamp) ||
      !ReadIndexBlock(*file, &record, &index) || record.storedSize != cached.indexStoredSize ||
      !HashContent(index.data(), index.size(), &digest, &err) || digest != cached.indexDigest ||
      !ListsTheFiles(index, record.originalSize, cached.files))
    return nullptr;
  return file;
}

// No file is no fault: the package was never built with the cache. The
// file read is asked whether it is the user's alone, not its path, which
// may name another by then.
bool BuildCache::Read(const RunContext& run, const std::string& path, CachedPackage* cached) {
  std::string err, absent, bytes;
  std::unique_ptr<File> file = m_fs.OpenForReading(path, Sharing::kReadDelete, &err);
  uint64_t size = 0;
  if (!file) {
    if (m_fs.PathExists(path, &absent)) run.Note(path, "build cache not read: " + err);
    return false;
  }
  if (!file->IsPrivate(&err)) {
    run.Note(path, "build cache not used: " + err);
    return false;
  }
  if (!file->Size(&size, &err) || size > kMaxCacheFileBytes ||
      !ReadAll(*file, static_cast<size_t>(size), &bytes, &err)) {
    if (err.empty()) err = "it is larger than any this program writes";
    run.Note(path, "build cache not read: " + err);
    return false;
  }
  if (!DecodeCache(bytes, cached, &err)) {
    run.Note(path, "build cache ignored: " + err);
    return false;
  }
  return true;
}

void BuildCache::Remember(const RunContext& run, const std::string& package, CachedPackage made) {
  std::string err, path;
  if (Fingerprint().empty() || !m_fs.FullPath(package, &made.path, &err) ||
      !FileOf(made.path, &path, &err))
    return;
  made.fingerprint = m_fingerprint;
  if (!MakeFolder(&err)) {
    run.Note(path, "build cache not written: " + err);
    return;
  }
  // Another user may have made the folder since the build began.
  if (!m_fs.IsPrivate(m_folder, &err)) {
    run.Note(m_folder, "build cache not written: " + err);
    return;
  }
  if (!Write(path, made, &err)) {
    run.Note(path, "build cache not written: " + err);
    return;
  }
  Prune(path, made.readFrom);
}

// Written beside its place and moved there whole, so that a build reading
// it meanwhile finds the old one or the new one. It is not synced: one cut
// short by a power cut fails its checksum and is ignored.
bool BuildCache::Write(const std::string& path, const CachedPackage& cached, std::string* err) {
  std::string bytes;
  if (!EncodeCache(cached, &bytes, err)) return false;
  const std::string temporary = path + "." + TokenDigits(FreshToken()) + ".tmp";
  std::unique_ptr<File> file = m_fs.CreatePrivateFile(temporary, err);
  if (!file) return false;
  RemovedOnInterrupt removed(temporary);
  std::string unused;
  if (file->Write(bytes.data(), bytes.size(), err) && file->Close(err) &&
      m_fs.MoveOver(temporary, path, err))
    return true;
  file.reset();
  m_fs.RemoveFile(temporary, &unused);
  return false;
}

// Made for the user alone, as the XDG rules make the folders they name.
bool BuildCache::MakeFolder(std::string* err) {
  std::vector<std::string> missing;
  std::string absent;
  for (std::string at = m_folder; !at.empty() && !m_fs.PathExists(at, &absent); at = ParentOf(at))
    missing.push_back(at);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    // Another build may have made it meanwhile.
    if (!m_fs.CreatePrivateFolder(*it, err) && !m_fs.PathExists(*it, &absent)) return false;
  }
  return true;
}

// Lets go of the files of packages that are gone, of those that cannot be
// read as this program's or are not the user's alone, of temporary files
// that killed builds left, and of the oldest beyond the bound. Another
// build may prune at the same time: what cannot be removed is left for
// later.
void BuildCache::Prune(const std::string& kept, int64_t now) {
  std::vector<std::string> names;
  std::string err;
  if (m_fs.ListFolder(m_folder, &names, &err) != ListResult::kComplete) return;
  std::vector<std::pair<int64_t, std::string>> remembered;
  for (const std::string& name : names) {
    const std::string path = JoinPath(m_folder, name);
    FileStamp stamp;
    if ((!IsCacheName(name) && !IsTemporaryName(name)) || path == kept ||
        !m_fs.Stamp(path, &stamp, &err))
      continue;
    std::string prefix, package;
    std::unique_ptr<File> file =
        IsCacheName(name) ? m_fs.OpenForReading(path, Sharing::kReadDelete, &err) : nullptr;
    const bool gone = IsTemporaryName(name)
                          ? stamp.modified < TimeBefore(now, kStaleTemporaryNs)
                          : !file || !file->IsPrivate(&err) ||
                                !ReadAll(*file, kCachePrefixBytes, &prefix, &err) ||
                                !DecodeCachedPath(prefix, &package) ||
                                !m_fs.PathExists(package, &err);
    file.reset();
    if (gone) {
      m_fs.RemoveFile(path, &err);
    } else if (IsCacheName(name)) {
      remembered.emplace_back(stamp.modified, path);
    }
  }
  std::sort(remembered.rbegin(), remembered.rend());  // the newest first
  for (size_t i = kMaxRemembered - 1; i < remembered.size(); ++i)
    m_fs.RemoveFile(remembered[i].second, &err);
}

bool ClearBuildCache(FileSystem& fs, const std::string& folder, size_t* removed, std::string* err) {
  *removed = 0;
  std::vector<std::string> names;
  std::string absent;
  if (!fs.PathExists(folder, &absent)) return true;
  if (fs.ListFolder(folder, &names, err) != ListResult::kComplete) {
    *err = folder + ": " + *err;
    return false;
  }
  // Another clear, or a build's prune or its move of a temporary file, may
  // remove a file meanwhile: one already gone is no failure, and is counted
  // by whoever removed it.
  bool all = true;
  for (const std::string& name : names) {
    if (!IsCacheName(name) && !IsTemporaryName(name)) continue;
    const std::string path = JoinPath(folder, name);
    std::string why;
    if (fs.RemoveFile(path, &why)) {
      ++*removed;
    } else if (all && fs.PathExists(path, &absent)) {
      *err = path + ": " + why;
      all = false;
    }
  }
  return all;
}

}  // namespace nv
