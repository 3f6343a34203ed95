// nvtheme init: a new theme folder that passes the check with nothing to
// say and packs, for an author to start from.
#pragma once

#include <ostream>
#include <string>

#include "platform/file_system.h"

namespace nv {

// Creates `folder` (or fills it when it exists and is empty) with a
// main.xml of one theme named `name`, its layout and its images, and tells
// on `err` what to edit next. Refuses a name that the manifest cannot hold
// as given (shorter than 2 bytes, with a control byte other than tab, LF
// and CR, or not UTF-8 of characters XML allows), a folder that holds
// anything, and never writes over a file. False with the reason on `err`;
// what it made by then is removed, leaving the folder as it was found.
bool InitTheme(FileSystem& fs, const std::string& folder, const std::string& name,
               std::ostream& err);

}  // namespace nv
