// The build run of one source folder.
#include "builder/theme_builder.h"

#include <tinyxml.h>

#include <algorithm>
#include <vector>

#include "manifest/load_manifest.h"
#include "manifest/validate_themes.h"
#include "package/package_writer.h"

namespace nv {

const char kFatalErrorText[] =
    "Unhandled exception: Fatal error, please check the syntax of main.xml and all other files.";

ThemeBuilder::ThemeBuilder(FileSystem& fs, LogPublisher& publisher, IZlib* zlib,
                           BuildOptions options)
    : m_fs(fs),
      m_publisher(publisher),
      m_zlib(zlib),
      m_options(options) {}

RunFlags ThemeBuilder::BuildFolder(std::string folder) {
  RunFlags flags;
  m_log << "\r\n" << "Processing " << folder << " ...\r\n";
  m_publisher.ReplaceText(m_log.Text());
  m_log << "Processing " << JoinPath(folder, "main.xml") << " ... ";
  PublishLog();
  OpenFiles files;
  try {
    RunStages(folder, &files, &flags);
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

void ThemeBuilder::RunStages(const std::string& folder, OpenFiles* files, RunFlags* flags) {
  std::string text;
  TiXmlDocument manifest;
  flags->manifestLoaded = LoadManifest(Context(), folder, &text, &manifest, m_options.diagnostics);
  std::vector<const TiXmlElement*> themes;
  std::vector<bool> verdicts;
  if (flags->manifestLoaded)
    ValidateThemesReporting(Context(), folder, text, manifest, &themes, &verdicts,
                            m_options.diagnostics);
  flags->themesValid = std::all_of(verdicts.begin(), verdicts.end(), [](bool v) { return v; });
  if (m_options.checkOnly || !flags->manifestLoaded || !flags->themesValid) return;
  TiXmlDocument index;
  WritePackage(Context(), folder, m_zlib, PackOptions{m_options.jobs, m_options.progress}, &index,
               files, flags);
  if (flags->Succeeded()) {
    m_log << "\r\nProcess completed successfully\r\n"
          << "\r\nPlease record down this operation log for future reference (Optional).\r\n";
    PublishLog();
  }
}

}  // namespace nv
