// The test that a named file can be packed.
#include "build/file_exists_in_folder.h"

namespace nv {

bool FileExistsInFolder(FileSystem& fs, const std::string& folder, const std::string& name) {
  return fs.IsReadableFile(JoinPath(folder, name));
}

}  // namespace nv
