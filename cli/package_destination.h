// Where a build may not put its package, told before the run, so that a
// refused build writes nothing.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace nv {

// False, saying why, when the build of `folder` may not write its package
// at `package`: a device, a pipe or a socket; a place in the build cache's
// folder (`cacheFolder`, empty when none is known), whose files the cache
// removes as its own; or, by identity (any spelling, a link, a hard link),
// a file the build reads: the folder's main.xml, a file its manifest names,
// or any other file the package would hold. A package that the last build
// left inside the folder is the build's own, and may be replaced.
bool CheckPackageDestination(FileSystem& fs, const std::string& folder, const std::string& package,
                             const std::string& cacheFolder, std::string* why);

}  // namespace nv
