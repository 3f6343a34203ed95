// The test that a named file can be packed.
#include "manifest/file_exists_in_folder.h"

namespace nv {

bool FileExistsInFolder(FileSystem& fs, const std::string& folder, const std::string& name,
                        bool outsideLinks) {
  const std::string path = JoinPath(folder, name);
  std::string why, target;
  return fs.IsReadableFile(path, &why) &&
         (outsideLinks || !fs.LeadsOutside(folder, path, &target, &why));
}

}  // namespace nv
