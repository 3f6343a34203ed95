// The check behind an editor's diagnostics.
#include "cli/lsp_check.h"

#include "builder/image_verdict_cache.h"
#include "builder/theme_builder.h"
#include "cli/edited_files.h"
#include "cli/file_notes.h"
#include "cli/file_uri.h"
#include "cli/lsp_diagnostics.h"
#include "cli/package_path.h"
#include "cli/warning_switches.h"
#include "manifest/manifest.h"
#include "manifest/read_text_file.h"

namespace nv {

namespace {

constexpr int kWarningSeverity = 2;
constexpr int kInformationSeverity = 3;

// Puts back the disk's bytes for each document whose file is no UTF-8 on
// the disk; the names of those files.
std::vector<std::string> KeepBytesOfConverted(
    FileSystem& disk, std::map<std::string, std::shared_ptr<const std::string>>* texts) {
  std::vector<std::string> converted;
  for (auto& text : *texts) {
    std::string bytes, err;
    if (ReadFileBytes(disk, text.first, &bytes, &err, kMaxManifestBytes) != TextRead::kRead ||
        IsUtf8(bytes))
      continue;
    converted.push_back(text.first);
    text.second = std::make_shared<const std::string>(std::move(bytes));
  }
  return converted;
}

}  // namespace

FolderReport CheckEditedFolder(FileSystem& disk, const std::string& folder,
                               std::map<std::string, std::shared_ptr<const std::string>> texts,
                               const CheckBudget& budget, ImageVerdictCache* verdicts) {
  BudgetedDisk budgeted(disk, budget);
  EditedFiles edited(budgeted, std::move(texts));
  FolderReport report;
  report.folder = folder;
  report.package = PackageOf(folder);
  report.checkOnly = true;
  const std::set<std::string> warnings = DefaultWarnings();
  ReportCollector collector(warnings, DefaultErrors());
  collector.CollectInto(&report);
  BuildOptions options;
  options.checkOnly = true;
  options.diagnostics = &collector;
  options.notes = &collector;
  options.warnings = warnings;
  options.imageVerdicts = verdicts;
  options.checked = [&](const std::vector<ThemeVerdict>& themes, FileSystem& snapshot) {
    report.themes = themes;
    NoteUnpackedFolderFiles(snapshot, folder, report.package, true, warnings, collector);
    return true;
  };
  SilentPublisher silent;
  ThemeBuilder builder(edited, silent, nullptr, options);
  report.flags = builder.BuildFolder(folder, report.package);
  return report;
}

std::map<std::string, nlohmann::json> CheckedDiagnostics(
    FileSystem& disk, const std::string& folder,
    std::map<std::string, std::shared_ptr<const std::string>> texts, const CheckBudget& budget,
    PositionEncoding encoding, const std::string& cacheFolder,
    const std::map<std::string, std::string>& uris) {
  const std::vector<std::string> converted = KeepBytesOfConverted(disk, &texts);
  std::unique_ptr<ImageVerdictCache> verdicts;
  if (!cacheFolder.empty()) verdicts = std::make_unique<ImageVerdictCache>(disk, cacheFolder);
  const FolderReport report = CheckEditedFolder(disk, folder, texts, budget, verdicts.get());
  // A check given up for a newer one is not told at all.
  if (budget.Cancelled()) return {};
  if (budget.TimedOut()) {
    return {
        {report.Manifest(),
         nlohmann::json::array({FileDiagnostic(
             kWarningSeverity, std::string(kCheckCutShort) +
                                   ": it took longer than a check as you type may; run 'nvtheme "
                                   "check' on the folder to see what it finds")})}};
  }
  const auto textOf = [&](const std::string& path, std::string* text) {
    const auto open = texts.find(path);
    if (open != texts.end()) {
      *text = *open->second;
      return true;
    }
    std::string err;
    return ReadFileBytes(disk, path, text, &err, kMaxManifestBytes) == TextRead::kRead;
  };
  const auto uriOf = [&](const std::string& path) {
    const auto open = uris.find(path);
    return open != uris.end() ? open->second : UriOfPath(path);
  };
  std::map<std::string, nlohmann::json> diagnostics =
      PublishedDiagnostics(report, textOf, encoding, uriOf);
  for (const std::string& path : converted)
    diagnostics[path].push_back(FileDiagnostic(
        kInformationSeverity,
        "the file is not UTF-8 on the disk: the editor shows it converted, and these findings are "
        "of the saved file, as a build reads it; save it as UTF-8 to check what you type"));
  return diagnostics;
}

}  // namespace nv
