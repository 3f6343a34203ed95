// Copying blocks from the package's last build.
#include "package/previous_package.h"

#include <algorithm>

#include "package/block_check.h"

namespace nv {

namespace {

// Small enough to stay in the processor's cache between the read and the
// write, as a copying tool's buffer does.
constexpr size_t kCopyBuffer = size_t{128} << 10;

bool SameRecord(const EntryRecord& a, const EntryRecord& b) {
  return a.entryId == b.entryId && a.storedSize == b.storedSize && a.originalSize == b.originalSize;
}

}  // namespace

PreviousPackage::PreviousPackage(CachedPackage cached, FileSystem& fs, std::string path,
                                 std::unique_ptr<File> package)
    : m_cached(std::move(cached)),
      m_fs(fs),
      m_path(std::move(path)),
      m_package(std::move(package)),
      m_heldOpen(m_package != nullptr),
      m_buffer(new uint8_t[kCopyBuffer]) {
  for (size_t i = 0; i < m_cached.files.size(); ++i) m_byName[m_cached.files[i].name] = i;
}

const CachedFile* PreviousPackage::Find(const std::string& name) const {
  auto it = m_byName.find(name);
  return it == m_byName.end() ? nullptr : &m_cached.files[it->second];
}

bool PreviousPackage::Unchanged(const CachedFile& file, const FileStamp& now) const {
  return StampVouches(file.stamp, now, m_cached.readFrom);
}

// Bytes copied by the system are not seen to be checked: the package is
// trusted instead while it has the stamp it was recalled with, which any
// write to it, before or while a block is copied, changes.
bool PreviousPackage::StillAsRecalled(File& package) {
  FileStamp now;
  std::string why;
  if (package.Stamp(&now, &why) && now == m_cached.stamp) return true;
  if (m_fault.empty()) m_fault = why;
  return false;
}

bool PreviousPackage::StillAsCached() const {
  FileStamp now;
  std::string why;
  return m_fs.Stamp(m_path, &now, &why) && now == m_cached.stamp;
}

BlockCopy PreviousPackage::CopyBlock(const CachedFile& file, File& to, std::string* err) {
  File* package = Package();
  if (!package) return BlockCopy::kNotTaken;
  const BlockCopy copy = CopyFrom(*package, file, to, err);
  if (!m_heldOpen) m_package.reset();
  return copy;
}

// A write that fails is told when the files are written one by one.
BlockCopy PreviousPackage::CopyRange(uint64_t offset, uint64_t size, File& to) {
  File* package = m_copiesInTheSystem ? Package() : nullptr;
  std::string why;
  BlockCopy copy = BlockCopy::kNotTaken;
  if (package && package->Seek(offset, &why)) {
    switch (to.CopyFrom(*package, size, &why)) {
      case File::CopyResult::kCopied:
        copy = StillAsRecalled(*package) ? BlockCopy::kCopied : BlockCopy::kNotTaken;
        break;
      case File::CopyResult::kUnsupported:
        m_copiesInTheSystem = false;
        break;
      case File::CopyResult::kFailed:
        if (m_fault.empty()) m_fault = why;
    }
  }
  if (!m_heldOpen) m_package.reset();
  return copy;
}

// The package held open, or opened anew: one moved there since by another
// build is not the one described, which is no fault.
File* PreviousPackage::Package() {
  if (m_heldOpen || m_package) return m_package.get();
  std::string why;
  m_package = m_fs.OpenForReading(m_path, Sharing::kReadDelete, &why);
  FileStamp stamp;
  if (m_package && !m_package->Stamp(&stamp, &why) && m_fault.empty()) m_fault = why;
  if (m_package && !(stamp == m_cached.stamp)) m_package.reset();
  return m_package.get();
}

// A record or block found otherwise than the cache says is no fault of
// the disk's: the block is made anew without a word.
BlockCopy PreviousPackage::CopyFrom(File& package, const CachedFile& file, File& to,
                                    std::string* err) {
  EntryRecordBytes bytes;
  EntryRecord record;
  size_t got = 0;
  std::string why;
  if (!package.Seek(file.recordOffset, &why) ||
      !package.Read(bytes.data(), bytes.size(), &got, &why) || got != bytes.size() ||
      !ReadRecord(bytes, &record) || !SameRecord(record, file.record)) {
    if (m_fault.empty()) m_fault = why;
    return BlockCopy::kNotTaken;
  }
  if (m_copiesInTheSystem) {
    switch (to.CopyFrom(package, file.record.storedSize, &why)) {
      case File::CopyResult::kCopied:
        return StillAsRecalled(package) ? BlockCopy::kCopied : BlockCopy::kNotTaken;
      case File::CopyResult::kFailed:
        // Which of the two failed is not told: the block is made anew, and
        // writing it tells a write that fails.
        if (m_fault.empty()) m_fault = why;
        return BlockCopy::kNotTaken;
      case File::CopyResult::kUnsupported:
        m_copiesInTheSystem = false;
    }
  }
  uint32_t check = 0;
  for (uint32_t left = file.record.storedSize; left > 0; left -= static_cast<uint32_t>(got)) {
    if (!package.Read(m_buffer.get(), std::min<size_t>(left, kCopyBuffer), &got, &why) ||
        got == 0) {
      if (m_fault.empty()) m_fault = why;
      return BlockCopy::kNotTaken;
    }
    check = BlockCheck(m_buffer.get(), got, check);
    if (!to.Write(m_buffer.get(), got, err)) return BlockCopy::kWriteFailed;
  }
  return check == file.blockCheck ? BlockCopy::kCopied : BlockCopy::kNotTaken;
}

}  // namespace nv
