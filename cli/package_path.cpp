// Where the command puts a folder's package.
#include "cli/package_path.h"

#include <filesystem>
#include <system_error>

#include "package/package_writer.h"

namespace nv {

namespace {

namespace fsys = std::filesystem;

bool EndsInDots(const fsys::path& path) {
  const fsys::path last = fsys::path(StripTrailingSeparators(path.string())).filename();
  return last.empty() || last == "." || last == "..";
}

}  // namespace

std::string PackageOf(const std::string& folder) {
  if (!EndsInDots(folder)) return PackagePath(folder);
  fsys::path named = fsys::path(folder).lexically_normal();
  if (EndsInDots(named)) {
    std::error_code unknown;  // no current folder: the package goes beside the folder as typed
    named = fsys::absolute(folder, unknown).lexically_normal();
    if (unknown) return PackagePath(folder);
  }
  return PackagePath(named.string());
}

}  // namespace nv
