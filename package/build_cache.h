// The build cache: for each package built, what its next build needs to
// take the blocks of unchanged files from it instead of making them again.
// It lives in a folder of the user's, never beside or inside a theme
// folder, one file a package, named after the package's full path.
//
// The cache is advice: what it says is used only once the package on disk
// is found to be exactly the one it describes, and a file's block only
// when the file's stamp says it is unchanged. It is trusted as the user's
// own files are, and so used only where no one else could have written
// it: a folder or file of it that another user owns or may write to is
// passed over. (A cache file the user crafts can still mislead a build.)
// Its own faults are noted and never fail a build.
#pragma once

#include <memory>
#include <string>

#include "package/build_cache_format.h"
#include "package/cache_files.h"
#include "package/previous_package.h"
#include "run/run_context.h"
#include "services/component.h"

namespace nv {

class BuildCache {
 public:
  // The cache in `folder`, made by a builder that `builder` names (its
  // program and version); blocks that another builder or compressor made
  // are never taken. The compressor is asked once to make a few blocks,
  // which tell its settings apart.
  BuildCache(FileSystem& fs, std::string folder, std::string builder, IZlib& zlib);

  // Whether a build may use the cache at all: its folder is the user's
  // alone, or is not there yet (it is made so once something is kept).
  // Noted when not; Recall and Remember ask again of what they read and
  // write.
  bool Usable(const RunContext& run);

  // The package's last build, when the cache holds it, it was made by this
  // builder and the package on disk is still exactly the one it made; null
  // otherwise. `readFrom` is this build's read-from time: a last build that
  // began after it (a clock set back since), or at a time out of range,
  // makes the cache file damaged, noted as such, and nothing is reused.
  std::unique_ptr<PreviousPackage> Recall(const RunContext& run, const std::string& package,
                                          int64_t readFrom);

  // Keeps what the build just made of the package in place of what was
  // kept, and lets go of what is kept of packages that no longer exist.
  void Remember(const RunContext& run, const std::string& package, CachedPackage made);

  // The file that keeps what the cache knows of the package; false, saying
  // why, when the package's full path cannot be had.
  bool FileFor(const std::string& package, std::string* file, std::string* err) const;

 private:
  const std::string& Fingerprint();
  std::unique_ptr<File> OpenIfDescribed(const std::string& package, const CachedPackage& cached);
  bool Read(const RunContext& run, const std::string& path, CachedPackage* cached);

  FileSystem& m_fs;
  const CacheFiles m_files;
  const std::string m_builder;
  IZlib& m_zlib;
  std::string m_fingerprint;  // once made
};

// Removes everything a build cache in `folder` keeps, the files of checks'
// image verdicts too, *removed counting the files this call removed; false,
// saying why, when something could not be removed. A file that another
// program removed meanwhile is no failure.
bool ClearBuildCache(FileSystem& fs, const std::string& folder, size_t* removed, std::string* err);

}  // namespace nv
