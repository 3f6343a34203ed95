// What the platform does not do for itself: a listing that tells nothing
// beyond the entries' names, and no copying between files but through the
// program.
#include "platform/file_system.h"

namespace nv {

ListResult FileSystem::ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                                   std::string* err) {
  std::vector<std::string> names;
  const ListResult listed = ListFolder(folder, &names, err);
  entries->clear();
  entries->reserve(names.size());
  for (std::string& name : names) {
    entries->emplace_back();
    entries->back().name = std::move(name);
  }
  return listed;
}

File::CopyResult File::CopyFrom(File&, uint64_t, std::string*) { return CopyResult::kUnsupported; }

}  // namespace nv
