// The build cache's folder: one file a package, recalled, remembered and
// pruned.
#include "package/build_cache.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "package/builder_fingerprint.h"

namespace nv {

namespace {

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
    : m_fs(fs),
      m_files(fs, std::move(folder), kPackageCacheSuffix, "build cache"),
      m_builder(std::move(builder)),
      m_zlib(zlib) {}

bool BuildCache::Usable(const RunContext& run) { return m_files.Usable(run); }

const std::string& BuildCache::Fingerprint() {
  std::string err;
  if (m_fingerprint.empty()) BuilderFingerprint(m_builder, m_zlib, &m_fingerprint, &err);
  return m_fingerprint;
}

bool BuildCache::FileFor(const std::string& package, std::string* file, std::string* err) const {
  std::string full;
  return m_fs.FullPath(package, &full, err) && m_files.FileOf(full, file, err);
}

std::unique_ptr<PreviousPackage> BuildCache::Recall(const RunContext& run,
                                                    const std::string& package, int64_t readFrom) {
  std::string full, path, err;
  CachedPackage cached;
  // A package whose folder cannot be resolved has no last build to take from.
  if (Fingerprint().empty() || !m_fs.FullPath(package, &full, &err) ||
      !m_files.FileOf(full, &path, &err) || !Read(run, path, &cached))
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

// No file is no fault: the package was never built with the cache.
bool BuildCache::Read(const RunContext& run, const std::string& path, CachedPackage* cached) {
  std::string bytes, fault;
  if (!m_files.Read(run, path, kMaxCacheFileBytes, &bytes)) return false;
  if (!DecodeCache(bytes, cached, &fault)) {
    run.Note(path, "build cache ignored: " + fault);
    return false;
  }
  return true;
}

void BuildCache::Remember(const RunContext& run, const std::string& package, CachedPackage made) {
  std::string err, path, bytes;
  if (Fingerprint().empty() || !m_fs.FullPath(package, &made.path, &err) ||
      !m_files.FileOf(made.path, &path, &err))
    return;
  made.fingerprint = m_fingerprint;
  if (!m_files.MakeFolder(run, path)) return;
  std::unique_ptr<CacheFileWriting> writing;
  if (!EncodeCache(made, &bytes, &err) || !(writing = CacheFileWriting::Begin(m_fs, path, &err)) ||
      !writing->Finish(bytes, &err)) {
    run.Note(path, "build cache not written: " + err);
    return;
  }
  // Packages that are gone, and the oldest beyond the bound, go.
  m_files.Prune(path, made.readFrom, kCachePrefixBytes, DecodeCachedPath);
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
    if (!IsCacheFileName(name)) continue;
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
