// Reading a text file whole, with its line ends made LF.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace nv {

// Empties *text, then fills it with the file's lines, each followed by one
// LF: lines are split at LF, one CR before each LF is dropped and every other
// byte is kept. Other programs may read and write the file meanwhile. A file
// that cannot be opened, or whose reading fails part-way, yields an empty
// text, so that a file cut short is never taken for a whole one.
void ReadTextFile(FileSystem& fs, const std::string& path, std::string* text);

// The line-end rule of ReadTextFile, applied to bytes already read.
std::string TextWithLfLines(const std::string& bytes);

}  // namespace nv
