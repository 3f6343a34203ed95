// What the checks of the warnings pass share.
#include "manifest/warning_run.h"

#include <tinyxml.h>

#include <algorithm>

#include "manifest/file_exists_in_folder.h"
#include "manifest/warning_table.h"

namespace nv {

namespace {

// As the table of warnings gives it. A name of no row is a slip that the
// tests of the table catch; it is still told, as a warning.
Severity SeverityOf(const char* name) {
  const WarningName* warning = FindWarningName(name);
  return warning ? warning->severity : Severity::kWarning;
}

}  // namespace

std::string FoldCase(const std::string& name) {
  std::string folded = name;
  std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return folded;
}

std::string Quote(const std::string& text) {
  const size_t kShown = 60;
  if (text.size() <= kShown) return "'" + text + "'";
  size_t cut = kShown;
  // Whole UTF-8 characters: the cut steps back over continuation bytes.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return "'" + text.substr(0, cut) + "...'";
}

// The files are those the package writer takes: every name of the listing
// that passes the test of files in the folder and is not the build's own.
WarningRun::WarningRun(FileSystem& fs, const std::string& folder, const std::string& text,
                       const TiXmlDocument& manifest, const WarningOptions& options)
    : fs(fs),
      folder(folder),
      options(options),
      manifest(JoinPath(folder, "main.xml")),
      positions(text, manifest) {
  std::vector<std::string> names;
  std::string err;
  listedWhole = fs.ListFolder(folder, &names, &err) == ListResult::kComplete;
  for (const std::string& name : names) {
    if (!FileExistsInFolder(fs, folder, name, options.outsideLinks) ||
        (options.ownFile && options.ownFile(name, JoinPath(folder, name))))
      continue;
    packed.push_back(name);
    packedNames.insert(name);
    packedByFoldedName.emplace(FoldCase(name), name);
  }
}

const std::string* WarningRun::PackedInOtherCase(const std::string& name) const {
  const auto found = packedByFoldedName.find(FoldCase(name));
  return found == packedByFoldedName.end() || found->second == name ? nullptr : &found->second;
}

void WarningRun::Warn(const char* name, TextPosition at, std::string message,
                      std::vector<std::string> notes) {
  warnings.push_back({SeverityOf(name), name, manifest, at, std::move(message), std::move(notes)});
}

void WarningRun::WarnAboutFile(const char* name, const std::string& file, std::string message,
                               std::vector<std::string> notes) {
  warnings.push_back({SeverityOf(name), name, JoinPath(folder, file), TextPosition(),
                      std::move(message), std::move(notes)});
}

}  // namespace nv
