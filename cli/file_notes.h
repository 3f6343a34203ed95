// The notes of a build run that are warnings about the folder's files: their
// names, and how a note's text tells its name.
#pragma once

#include <string>
#include <vector>

#include "manifest/manifest_warnings.h"
#include "platform/file_system.h"
#include "run/build_notes.h"

namespace nv {

// The notes that -W takes by name, as WarningNames() gives the manifest's
// warnings.
const std::vector<WarningName>& FileNoteNames();

// The name of the note with this text, or empty for one that is always
// shown: the system's reason for a disk operation that failed, or what
// explains a line of the log.
std::string FileNoteName(const std::string& text);

}  // namespace nv
