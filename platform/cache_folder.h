// Where the user's programs keep what they can always make again: the
// folder that is nvtheme's own in it.
#pragma once

#include <string>

namespace nv {

// nvtheme's folder in the user's cache folder, which may not exist yet:
// $XDG_CACHE_HOME/nvtheme, else ~/.cache/nvtheme on POSIX systems, and
// %LOCALAPPDATA%\nvtheme on Windows. False, saying why, when the
// environment names no such folder.
bool UserCacheFolder(std::string* folder, std::string* err);

}  // namespace nv
