// The nvtheme command, apart from the process it runs in.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace nv {

// Runs the command whose words follow the program name and returns its exit
// status: 0 success, 1 failure, 2 usage error.
int RunNvtheme(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err);

}  // namespace nv
