// Joining a folder and a name, the same on every platform but for the separator.
#include "platform/file_system.h"

namespace nv {

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += kPathSeparator;
  path += name;
  return path;
}

}  // namespace nv
