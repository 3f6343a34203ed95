// Where the command puts a folder's package: named after the folder as its
// user would name it, however the folder was spelt.
#pragma once

#include <string>

namespace nv {

// Beside the folder, as the dialog puts it, except where the folder's path
// ends in "." or "..", which name no folder by themselves: the folder's own
// name is taken from the path without them, or from the current folder.
// "ocean/." gives "ocean.nvp"; "." inside themes/ocean, the full path of
// themes/ocean.nvp.
std::string PackageOf(const std::string& folder);

}  // namespace nv
