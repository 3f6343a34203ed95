// The build run of one source folder.
#include "builder/theme_builder.h"

#include <tinyxml.h>

#include <algorithm>
#include <new>
#include <vector>

#include "builder/image_verdict_cache.h"
#include "manifest/load_manifest.h"
#include "manifest/manifest_warnings.h"
#include "manifest/validate_themes.h"
#include "package/entry_name.h"
#include "package/package_temporaries.h"
#include "package/package_writer.h"
#include "run/folder_snapshot.h"
#include "run/fault_words.h"

namespace nv {

ThemeBuilder::ThemeBuilder(FileSystem& fs, LogPublisher& publisher, IZlib* zlib,
                           BuildOptions options)
    : m_fs(fs), m_publisher(publisher), m_zlib(zlib), m_options(options) {
  m_errors.to = m_options.diagnostics;
}

RunFlags ThemeBuilder::BuildFolder(std::string folder, const std::string& package) {
  RunFlags flags;
  m_log << kRunStart << kProcessing << folder << kProcessingFolderEnd;
  m_publisher.ReplaceText(m_log.Text());
  m_log << kProcessing << JoinPath(folder, "main.xml") << kProcessingManifestEnd;
  PublishLog();
  OpenFiles files;
  try {
    RunStages(folder, package, &files, &flags);
  } catch (...) {
    // Whatever went wrong, this folder's run ends here and the next one
    // starts clean: the stages' documents and source files are gone with the
    // unwinding, and the package is closed. A package cut short is removed,
    // leaving the last good one.
    files.package.reset();
    std::string err;
    if (!files.packageTemporary.empty() && !m_fs.RemoveFile(files.packageTemporary, &err))
      Context().Note(files.packageTemporary, "left behind: " + err);
    flags.packageOk = false;
    m_log << kFatalErrorText;
  }
  PublishLog();
  return flags;
}

void ThemeBuilder::RunStages(const std::string& folder, const std::string& package,
                             OpenFiles* files, RunFlags* flags) {
  // Listed once, before the rules: every stage asks the same listing.
  FolderSnapshot disk(m_fs, folder, m_options.heldFiles);
  m_disk = &disk;
  struct Restore {
    ThemeBuilder* builder;
    ~Restore() { builder->m_disk = &builder->m_fs; }
  } restore{this};
  std::string text;
  TiXmlDocument manifest;
  m_errors.told.clear();
  ManifestDiagnostics* const diagnostics = m_options.diagnostics ? &m_errors : nullptr;
  flags->manifestLoaded = LoadManifest(Context(), folder, &text, &manifest, diagnostics);
  std::vector<const TiXmlElement*> themes;
  std::vector<bool> verdicts;
  BrokenTag told;
  if (flags->manifestLoaded)
    ValidateThemesReporting(Context(), folder, text, manifest, &themes, &verdicts, diagnostics,
                            &told);
  flags->themesValid = std::all_of(verdicts.begin(), verdicts.end(), [](bool v) { return v; });
  const bool checked = flags->manifestLoaded &&
                       FinishChecks(folder, package, text, manifest, themes, verdicts, told);
  if (m_options.checkOnly || !checked || !flags->themesValid) return;
  TiXmlDocument index;
  WritePackage(Context(), folder, m_zlib,
               PackOptions{m_options.jobs, m_options.progress, package, m_options.cache}, &index,
               files, flags);
  if (flags->Succeeded()) {
    m_log << kCompleted;
    PublishLog();
  }
}

// The warnings come after the validation, so that the log and its errors
// stay as they were; whoever asked then hears the verdicts, and may stop the
// build before anything is packed.
bool ThemeBuilder::FinishChecks(const std::string& folder, const std::string& package,
                                const std::string& text, const TiXmlDocument& manifest,
                                const std::vector<const TiXmlElement*>& themes,
                                const std::vector<bool>& verdicts, const BrokenTag& told) {
  ReportWarnings(folder, package, text, manifest, told);
  if (!m_options.checked) return true;
  const ElementPositions positions(text, manifest);
  std::vector<ThemeVerdict> judged;
  for (size_t i = 0; i < themes.size(); ++i) {
    const char* name = themes[i]->Attribute("name");
    judged.push_back({name ? name : "", positions.Of(*themes[i]), verdicts[i]});
  }
  return m_options.checked(judged, *m_disk);
}

// The warnings are an output of their own: however their pass fails, the
// run goes on as it would without them, and a note says they are missing.
void ThemeBuilder::ReportWarnings(const std::string& folder, const std::string& package,
                                  const std::string& text, const TiXmlDocument& manifest,
                                  const BrokenTag& told) {
  if (!m_options.diagnostics || m_options.warnings.empty()) return;
  const OwnFiles own(*m_disk, package.empty() ? PackagePath(folder) : package);
  WarningOptions options;
  options.ownFile = [&own](const std::string& name, const std::string& path) {
    return own.Holds(name, path);
  };
  options.outsideLinks = m_options.outsideLinks;
  // A check has the time to decode every image; a build reads their blocks,
  // and with the cache, of images changed since the last run alone.
  options.imageDepth = m_options.checkOnly ? ImageDepth::kDecode : ImageDepth::kStructure;
  ImageVerdictCache* const verdicts = m_options.imageVerdicts;
  if (verdicts) verdicts->Begin(Context(), folder);
  options.imageVerdicts = verdicts;
  options.jobs = m_options.jobs;
  options.wanted = &m_options.warnings;
  options.windowsNameCheck = [](const std::string& name, std::string* fault) {
    return CheckEntryName(name, NameRules::kWindows, fault);
  };
  const std::string failed = FaultOf([&] {
    std::vector<ImageReference> images;
    for (const Diagnostic& warning :
         ManifestWarnings(*m_disk, folder, text, manifest, options, &images))
      if (m_options.warnings.count(warning.name) && !RestatesBrokenTag(told, warning) &&
          !RestatesError(m_errors.told, warning))
        m_options.diagnostics->Report(warning);
    for (const ImageReference& image : images) m_options.diagnostics->ReportImage(image);
  });
  if (!failed.empty())
    Context().Note(JoinPath(folder, "main.xml"), "warnings not checked: " + failed);
  // Each verdict kept is sound, however far the pass came.
  if (verdicts) verdicts->Finish(Context());
}

}  // namespace nv
