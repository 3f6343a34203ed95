// The package's last build, as the build cache remembers it and as the
// package on disk still is: the blocks that files which did not change
// since are copied from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "package/build_cache_format.h"
#include "run/stamp_trust.h"

namespace nv {

// How copying a block ended.
enum class BlockCopy {
  kCopied,
  // Its record or bytes were not found as the cache says, or could not be
  // read: what was written of it is to be written over.
  kNotTaken,
  kWriteFailed,
};

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

  // Copies the file's block to the end of `to`: by the system where it
  // can, the package's stamp checked after; else through a small buffer,
  // the bytes checked on the way against the check the cache keeps. A
  // block is never held whole, so a rebuild moves no more memory than a
  // copy does. kWriteFailed says why in *err.
  BlockCopy CopyBlock(const CachedFile& file, File& to, std::string* err);

  // Copies `size` bytes of the package from `offset` to the end of `to`,
  // records and blocks of several files at once, by the system alone: the
  // package's stamp vouches for them. kNotTaken where the system cannot
  // copy, or the package changed; what was written is then to be written
  // over, one file at a time.
  BlockCopy CopyRange(uint64_t offset, uint64_t size, File& to);
  // What the cache remembers of the last build.
  const CachedPackage& Cached() const { return m_cached; }
  // Whether the path still names the package the cache describes, as it
  // was: the same file, size and times.
  bool StillAsCached() const;
  // The first fault met reading the package, in the system's words; empty
  // when none.
  const std::string& Fault() const { return m_fault; }

 private:
  File* Package();
  BlockCopy CopyFrom(File& package, const CachedFile& file, File& to, std::string* err);
  bool StillAsRecalled(File& package);

  const CachedPackage m_cached;
  FileSystem& m_fs;
  const std::string m_path;
  std::unordered_map<std::string, size_t> m_byName;
  std::unique_ptr<File> m_package;
  const bool m_heldOpen;
  std::unique_ptr<uint8_t[]> m_buffer;
  bool m_copiesInTheSystem = true;  // until the system says it cannot
  std::string m_fault;
};

}  // namespace nv
