// Folders dropped on the dialog, and the fields they go into.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace nv {

// The dropped names that are folders, in the order dropped, each as a field
// would hold it; files, and names that name nothing, are left out.
std::vector<std::string> DroppedFolders(HDROP drop);

// Puts folders into fields: the first into field `target`, when the drop
// landed on one, and the others into the empty fields in field order.
// Folders for which no empty field is left are ignored.
void PlaceFolders(const std::vector<std::string>& folders, int target,
                  std::vector<std::string>* fields);

}  // namespace nv
