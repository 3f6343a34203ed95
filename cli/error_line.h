// nvtheme's own lines on standard error: "nvtheme: " and a message, whose
// paths, names and faults are escaped so that none can break the line or
// drive a terminal.
#pragma once

#include <ostream>
#include <string>

#include "package/entry_name.h"

namespace nv {

inline void WriteErrorLine(std::ostream& err, const std::string& message) {
  err << "nvtheme: " << EscapeText(message, Backslash::kSingle) << '\n' << std::flush;
}

}  // namespace nv
