// The notes of a build run that are warnings about the folder's files: their
// rows of the table of warnings, and the same notes made before anything is
// packed.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "manifest/warning_table.h"
#include "platform/file_system.h"
#include "run/build_notes.h"
#include "run/packed_files.h"

namespace nv {

// The warnings that are build notes about the folder's files: the rows of
// WarningNames() told so.
const std::vector<WarningName>& FileNoteNames();

// The notes the package writer makes as it lists the folder (a file left
// out and why, one that leads outside through a link, a listing that
// failed), made by the writer's rule for a run that packs nothing or has
// yet to know whether it will: a check tells of them too, and -Werror stops
// a build on them before it packs. `ownFile` tells the build's own files,
// of which the writer makes no note either.
void NoteFolderFiles(FileSystem& fs, const std::string& folder, bool outsideLinks,
                     const OwnFileTest& ownFile, BuildNotes& notes);

// NoteFolderFiles for a run that packs nothing into `package`, when any of
// the notes is among the `warnings` reported.
void NoteUnpackedFolderFiles(FileSystem& fs, const std::string& folder, const std::string& package,
                             bool outsideLinks, const std::set<std::string>& warnings,
                             BuildNotes& notes);

}  // namespace nv
