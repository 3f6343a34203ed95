// The rule of the files a build packs, and the notes it gives.
#include "run/packed_files.h"

#include <vector>

namespace nv {

namespace {

// The words of the notes about the folder's files.
constexpr char kLeftOut[] = "left out: ";           // then the system's reason
constexpr char kLinkTo[] = "left out: a link to ";  // then the target, kOutside
constexpr char kPackedFrom[] = "packed from ";      // then the target, kOutside
constexpr char kOutside[] = ", outside the folder";
constexpr char kCannotList[] = "cannot list the folder: ";  // then the system's reason

void Note(const PackedFileRule& rule, const std::string& path, const std::string& text,
          const char* warning) {
  if (rule.notes) rule.notes->Note(path, text, warning);
}

}  // namespace

// ".", "..", folders and files that others hold for writing fail the file
// test; of those, only a file the system gives a reason for is noted. A
// build's own file is no file of the folder's, so it gets no note even when
// it leads outside.
bool IsPackedFile(FileSystem& fs, const std::string& folder, const std::string& name,
                  const PackedFileRule& rule) {
  const std::string path = JoinPath(folder, name);
  std::string why, target;
  if (!fs.IsReadableFile(path, &why)) {
    if (!why.empty()) Note(rule, path, kLeftOut + why, kUnreadableFileWarning);
    return false;
  }
  if (rule.ownFile && rule.ownFile(name, path)) return false;
  // Where a file that is packed either way leads matters to a note alone. A
  // path that cannot be followed (its folder moved meanwhile) counts as inside.
  if ((rule.outsideLinks && !rule.notes) || !fs.LeadsOutside(folder, path, &target, &why))
    return true;
  Note(rule, path, (rule.outsideLinks ? kPackedFrom : kLinkTo) + target + kOutside,
       kOutsideLinkWarning);
  return rule.outsideLinks;
}

bool FileExistsInFolder(FileSystem& fs, const std::string& folder, const std::string& name,
                        bool outsideLinks) {
  PackedFileRule rule;
  rule.outsideLinks = outsideLinks;
  return IsPackedFile(fs, folder, name, rule);
}

ListResult ListPackedFiles(FileSystem& fs, const std::string& folder, const PackedFileRule& rule,
                           const std::function<void(const std::string& name)>& packed,
                           std::string* err) {
  std::vector<std::string> names;
  const ListResult listed = fs.ListFolder(folder, &names, err);
  for (const std::string& name : names)
    if (IsPackedFile(fs, folder, name, rule)) packed(name);
  if (listed != ListResult::kComplete)
    Note(rule, folder, kCannotList + *err, kUnlistableFolderWarning);
  return listed;
}

}  // namespace nv
