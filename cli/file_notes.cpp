// The build notes that are warnings about the folder's files.
#include "cli/file_notes.h"

namespace nv {

namespace {

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

const std::vector<WarningName>& FileNoteNames() {
  static const std::vector<WarningName> notes = [] {
    std::vector<WarningName> rows;
    for (const WarningName& warning : WarningNames())
      if (warning.buildNote) rows.push_back(warning);
    return rows;
  }();
  return notes;
}

// A main.xml that leads outside is "not read", which explains the log's
// "failed": that note has no name.
std::string FileNoteName(const std::string& text) {
  if (StartsWith(text, kNoteCannotList)) return "unlistable-folder";
  if (StartsWith(text, kNotePackedFrom) ||
      (StartsWith(text, kNoteLinkTo) && EndsWith(text, kNoteOutside)))
    return "outside-link";
  if (StartsWith(text, kNoteLeftOut)) return "unreadable-file";
  return "";
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
      if (!why.empty()) notes.Note(path, kNoteLeftOut + why);
    } else if (fs.LeadsOutside(folder, path, &target, &why)) {
      notes.Note(path, (outsideLinks ? kNotePackedFrom : kNoteLinkTo) + target + kNoteOutside);
    }
  }
  if (listed != ListResult::kComplete) notes.Note(folder, kNoteCannotList + err);
}

}  // namespace nv
