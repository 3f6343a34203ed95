// The build notes that are warnings about the folder's files.
#include "cli/file_notes.h"

namespace nv {

const std::vector<WarningName>& FileNoteNames() {
  static const std::vector<WarningName> notes = [] {
    std::vector<WarningName> rows;
    for (const WarningName& warning : WarningNames())
      if (warning.buildNote) rows.push_back(warning);
    return rows;
  }();
  return notes;
}

// As the writer's test of files in the folder, but for the package's own
// files, which only a folder that holds its package meets, and which are
// readable files inside the folder that give no note.
void NoteFolderFiles(FileSystem& fs, const std::string& folder, bool outsideLinks,
                     BuildNotes& notes) {
  std::vector<std::string> names;
  std::string err;
  const ListResult listed = fs.ListFolder(folder, &names, &err);
  for (const std::string& name : names) {
    const std::string path = JoinPath(folder, name);
    std::string why, target;
    if (!fs.IsReadableFile(path, &why)) {
      if (!why.empty()) notes.Note(path, kNoteLeftOut + why, kUnreadableFileWarning);
    } else if (fs.LeadsOutside(folder, path, &target, &why)) {
      notes.Note(path, (outsideLinks ? kNotePackedFrom : kNoteLinkTo) + target + kNoteOutside,
                 kOutsideLinkWarning);
    }
  }
  if (listed != ListResult::kComplete)
    notes.Note(folder, kNoteCannotList + err, kUnlistableFolderWarning);
}

}  // namespace nv
