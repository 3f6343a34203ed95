// Joining a folder and a name, and parting a path from its last step, the
// same on every platform but for the separator.
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

std::string ParentOf(const std::string& path) {
  const std::string stripped = StripTrailingSeparators(path);
  const size_t cut = stripped.find_last_of(std::string("/") + kPathSeparator);
  return cut == std::string::npos || cut == 0 ? std::string() : stripped.substr(0, cut);
}

}  // namespace nv
