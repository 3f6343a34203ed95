// Taking blocks from the package's last build.
#include "package/previous_package.h"

#include <algorithm>

#include "package/block_check.h"

namespace nv {

namespace {

bool SameRecord(const EntryRecord& a, const EntryRecord& b) {
  return a.entryId == b.entryId && a.storedSize == b.storedSize && a.originalSize == b.originalSize;
}

}  // namespace

PreviousPackage::PreviousPackage(CachedPackage cached, FileSystem& fs, std::string path,
                                 std::unique_ptr<File> package)
    : m_cached(std::move(cached)),
      m_fs(fs),
      m_path(std::move(path)),
      m_package(std::move(package)) {
  for (size_t i = 0; i < m_cached.files.size(); ++i) m_byName[m_cached.files[i].name] = i;
}

const CachedFile* PreviousPackage::Find(const std::string& name) const {
  auto it = m_byName.find(name);
  return it == m_byName.end() ? nullptr : &m_cached.files[it->second];
}

bool PreviousPackage::Unchanged(const CachedFile& file, const FileStamp& now) const {
  const int64_t last = std::max(file.stamp.modified, file.stamp.changed);
  return now == file.stamp && last < m_cached.readFrom - kRacyNanoseconds;
}

bool PreviousPackage::ReadBlock(const CachedFile& file, Entry* entry) {
  const uint32_t stored = file.record.storedSize;
  if (stored == 0) return false;  // no zlib stream is empty
  TaskMemPtr<uint8_t> block(static_cast<uint8_t*>(TaskMemAlloc(stored)));
  if (!block) return false;
  std::string err;
  if (!ReadBlockOf(file, block.get(), &err)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fault.empty()) m_fault = err;
    return false;
  }
  // Any byte changed since that build wrote it, by whatever means, shows.
  if (BlockCheck(block.get(), stored) != file.blockCheck) return false;
  entry->record.storedSize = stored;
  entry->record.originalSize = file.record.originalSize;
  entry->block = std::move(block);
  return true;
}

// A package opened anew must still be the one described: one moved there
// since by another build is not, which is no fault.
bool PreviousPackage::ReadBlockOf(const CachedFile& file, uint8_t* block, std::string* err) {
  if (m_package) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return ReadRecordAndBlock(*m_package, file, block, err);
  }
  std::unique_ptr<File> package = m_fs.OpenForReading(m_path, Sharing::kReadDelete, err);
  FileStamp stamp;
  if (!package) err->clear();  // removed meanwhile
  if (!package || !package->Stamp(&stamp, err)) return false;
  return stamp == m_cached.stamp && ReadRecordAndBlock(*package, file, block, err);
}

// A record or block found otherwise than the cache says is no fault of
// the disk's: *err stays empty, and the block is made anew without a word.
bool PreviousPackage::ReadRecordAndBlock(File& package, const CachedFile& file, uint8_t* block,
                                         std::string* err) {
  EntryRecordBytes bytes;
  EntryRecord record;
  size_t got = 0;
  if (!package.Seek(file.recordOffset, err) || !package.Read(bytes.data(), bytes.size(), &got, err))
    return false;
  if (got != bytes.size() || !ReadRecord(bytes, &record) || !SameRecord(record, file.record))
    return false;
  return package.Read(block, file.record.storedSize, &got, err) && got == file.record.storedSize;
}

std::string PreviousPackage::Fault() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_fault;
}

}  // namespace nv
