// The user's cache folder on Windows: the local application data folder,
// which stays on this machine when a profile roams.
#include "platform/cache_folder.h"

#include <windows.h>

namespace nv {

bool UserCacheFolder(std::string* folder, std::string* err) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) {
    *err = "LOCALAPPDATA names no folder";
    return false;
  }
  *folder = std::string(buffer, n) + "\\nvtheme";
  return true;
}

}  // namespace nv
