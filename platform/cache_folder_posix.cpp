// The user's cache folder on POSIX systems, as the XDG base directory
// rules place it.
#include "platform/cache_folder.h"

#include <cstdlib>

namespace nv {

bool UserCacheFolder(std::string* folder, std::string* err) {
  // The rules ignore a relative XDG_CACHE_HOME, which would move with the
  // current folder.
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') {
    *folder = std::string(xdg) + "/nvtheme";
    return true;
  }
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') {
    *folder = std::string(home) + "/.cache/nvtheme";
    return true;
  }
  *err = "neither XDG_CACHE_HOME nor HOME names a folder";
  return false;
}

}  // namespace nv
