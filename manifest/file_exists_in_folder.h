// The test that a file a manifest names, or a folder listing shows, can be
// packed: it opens for reading as an existing file.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace nv {

// Whether folder + separator + name opens for reading as an existing file
// while others may read it too. The name is appended unchanged, so a
// relative subpath below the folder is found there; an empty name, a folder,
// a pipe or device, and a file that another program holds open for writing
// or without read sharing all count as missing; so does one that leads
// outside the folder through a link, unless `outsideLinks` allows it.
bool FileExistsInFolder(FileSystem& fs, const std::string& folder, const std::string& name,
                        bool outsideLinks = true);

}  // namespace nv
