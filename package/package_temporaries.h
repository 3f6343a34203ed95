// A package's temporary files, and the files of a folder that are a
// build's own: its package and those temporaries, which a folder holding
// its package (a root, "ocean/.", or -o into it) lists but never packs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace nv {

// A temporary file of the package: the package's path, "." and the 16
// lowercase hex digits of a random token, and ".tmp", as in
// "themes/ocean.nvp.3f09a1c4d2b7e865.tmp".
std::string TemporaryPackagePath(const std::string& package, uint64_t token);

// Whether `path` names a temporary file of the package.
bool IsTemporaryPackagePath(const std::string& package, const std::string& path);

// How long after its last write a temporary file is taken for a killed
// build's, the package's or the build cache's: no build goes that long
// without writing its own.
constexpr int64_t kStaleTemporaryNs = int64_t{3600} * 1000 * 1000 * 1000;

// Removes the package's temporary files last written more than an hour
// before `now` (nanoseconds since 1970 on the disk's clock): those of builds
// that were killed, which nothing else removes. A build still running
// writes its own as it goes. What cannot be removed is left for later.
void RemoveStaleTemporaries(FileSystem& fs, const std::string& package, int64_t now);

// Tells a build's own files among a folder's: by identity, not by name, so
// that every spelling of the package counts. A name shaped like a temporary
// file's counts when it names the same file as that name beside the package.
class OwnFiles {
 public:
  // The package is identified once, as it stands now; one not made yet is
  // no file of the folder's.
  OwnFiles(FileSystem& fs, std::string package);

  // Whether the file `name` of the folder, at `path`, is the package or a
  // temporary file of it.
  bool Holds(const std::string& name, const std::string& path) const;

 private:
  FileSystem& m_fs;
  const std::string m_package;
  bool m_packageKnown = false;
  FileIdentity m_packageId;
};

}  // namespace nv
