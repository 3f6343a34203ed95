// The package's last build, as the build cache remembers it and as the
// package on disk still is: the blocks that files which did not change
// since may take from it.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "package/build_cache_format.h"
#include "package/package_entry.h"

namespace nv {

// A file is trusted by its stamp alone only when it last changed this long
// before that build began reading: a change within the same tick of the
// file system's clock (two seconds on FAT) leaves the stamp as it was.
constexpr int64_t kRacyNanoseconds = int64_t{2} * 1000 * 1000 * 1000;

class PreviousPackage {
 public:
  // `package` is the package the cache describes at `path`, open, checked
  // to be it; or null, where a file held open would keep other builds from
  // moving their packages over it: it is then opened for each block, and
  // checked again.
  PreviousPackage(CachedPackage cached, FileSystem& fs, std::string path,
                  std::unique_ptr<File> package);

  // What the last build packed under that name; null when it packed none.
  const CachedFile* Find(const std::string& name) const;

  // Whether a file that has this stamp now surely holds what it held then:
  // the same stamp, taken long enough before that build read it.
  bool Unchanged(const CachedFile& file, const FileStamp& now) const;

  // The file's block, read from the package into entry->block with its
  // sizes in entry->record, once its record and the check of its bytes are
  // found as the cache says; false otherwise. Safe on any thread.
  bool ReadBlock(const CachedFile& file, Entry* entry);

  // The first fault met reading the package, in the system's words; empty
  // when none.
  std::string Fault();

 private:
  bool ReadBlockOf(const CachedFile& file, uint8_t* block, std::string* err);
  static bool ReadRecordAndBlock(File& package, const CachedFile& file, uint8_t* block,
                                 std::string* err);

  const CachedPackage m_cached;
  FileSystem& m_fs;
  const std::string m_path;
  std::unordered_map<std::string, size_t> m_byName;
  std::mutex m_mutex;  // for the package's position, and the fault
  std::unique_ptr<File> m_package;
  std::string m_fault;
};

}  // namespace nv
