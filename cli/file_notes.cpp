// The build notes that are warnings about the folder's files.
#include "cli/file_notes.h"

#include <algorithm>

#include "package/package_temporaries.h"
#include "run/packed_files.h"

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

// The writer's rule for its notes alone.
void NoteFolderFiles(FileSystem& fs, const std::string& folder, bool outsideLinks,
                     const OwnFileTest& ownFile, BuildNotes& notes) {
  PackedFileRule rule;
  rule.outsideLinks = outsideLinks;
  rule.ownFile = ownFile;
  rule.notes = &notes;
  const auto packed = [](const std::string&) {};
  std::string err;
  ListPackedFiles(fs, folder, rule, packed, &err);
}

void NoteUnpackedFolderFiles(FileSystem& fs, const std::string& folder, const std::string& package,
                             bool outsideLinks, const std::set<std::string>& warnings,
                             BuildNotes& notes) {
  const bool noted = std::any_of(FileNoteNames().begin(), FileNoteNames().end(),
                                 [&](const WarningName& w) { return warnings.count(w.name); });
  if (!noted) return;
  const OwnFiles own(fs, package);
  const auto ownFile = [&own](const std::string& name, const std::string& path) {
    return own.Holds(name, path);
  };
  NoteFolderFiles(fs, folder, outsideLinks, ownFile, notes);
}

}  // namespace nv
