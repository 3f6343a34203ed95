// What the checks of the warnings pass share.
#include "manifest/warning_run.h"

#include <tinyxml.h>

#include <algorithm>

#include "manifest/warning_table.h"
#include "run/packed_files.h"

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

// The files are those the package writer takes, by the writer's rule, in
// the order of their names' bytes: a folder's listing order differs from one
// system to another, and the warnings about its files come in this order.
WarningRun::WarningRun(FileSystem& fs, const std::string& folder, const std::string& text,
                       const TiXmlDocument& manifest, const WarningOptions& options)
    : fs(fs),
      folder(folder),
      options(options),
      manifest(PathInFolder(folder, "main.xml")),
      positions(text, manifest) {
  PackedFileRule rule;
  rule.outsideLinks = options.outsideLinks;
  rule.ownFile = options.ownFile;
  std::string err;
  const auto pack = [this](const std::string& name) { packedNames.insert(name); };
  listedWhole = ListPackedFiles(fs, folder, rule, pack, &err) == ListResult::kComplete;
  packed.assign(packedNames.begin(), packedNames.end());
  for (const std::string& name : packed) packedByFoldedName.emplace(FoldCase(name), name);
}

const std::string* WarningRun::PackedInOtherCase(const std::string& name) const {
  const auto found = packedByFoldedName.find(FoldCase(name));
  return found == packedByFoldedName.end() || found->second == name ? nullptr : &found->second;
}

void WarningRun::Warn(const char* name, TextPosition at, std::string message,
                      std::vector<std::string> notes, std::vector<LocatedNote> related,
                      NameFix fix) {
  if (!Wants(name)) return;
  warnings.push_back({SeverityOf(name), name, manifest, at, std::move(message), std::move(notes),
                      std::move(related), std::move(fix)});
}

void WarningRun::WarnAboutFile(const char* name, const std::string& file, std::string message,
                               std::vector<std::string> notes) {
  if (!Wants(name)) return;
  warnings.push_back({SeverityOf(name),
                      name,
                      PathInFolder(folder, file),
                      TextPosition(),
                      std::move(message),
                      std::move(notes),
                      {},
                      {}});
}

}  // namespace nv
