// Reading a text file whole, with its line ends made LF.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace nv {

// How reading a text file ended.
enum class TextRead {
  kRead,        // the text holds the file's lines
  kUnreadable,  // it could not be opened, or reading failed part-way
  kTooLarge,    // it was larger than the caller allows, and was not read
};

// Empties *text, then fills it with the file's lines, each followed by one
// LF: lines are split at LF, one CR before each LF is dropped and every other
// byte is kept. Other programs may read and write the file meanwhile; the
// file is read up to the size it had when it was opened, so one that keeps
// growing is not followed for ever. A file larger than maxBytes is not read.
// Whatever fails leaves the text empty, so that a file cut short is never
// taken for a whole one; when it is unreadable, *err gives the system's words.
TextRead ReadTextFile(FileSystem& fs, const std::string& path, std::string* text, std::string* err,
                      uint64_t maxBytes = UINT64_MAX);

// The file's bytes as they are, by the rules of ReadTextFile: a text in
// UTF-16 keeps its line ends in two bytes, which the line-end rule would
// split.
TextRead ReadFileBytes(FileSystem& fs, const std::string& path, std::string* bytes,
                       std::string* err, uint64_t maxBytes = UINT64_MAX);

// The line-end rule of ReadTextFile, applied to bytes already read.
std::string TextWithLfLines(const std::string& bytes);

}  // namespace nv
