// What a listing tells of a folder's entries where the platform's listing
// tells nothing beyond their names.
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

}  // namespace nv
