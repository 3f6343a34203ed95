// The build run of one source folder.
#include "build/theme_builder.h"

#include <tinyxml.h>

#include <algorithm>
#include <vector>

#include "build/manifest.h"
#include "build/nesting_depth.h"
#include "build/package_writer.h"
#include "build/read_text_file.h"

namespace nv {

const char kFatalErrorText[] =
    "Unhandled exception: Fatal error, please check the syntax of main.xml and all other files.";

ThemeBuilder::ThemeBuilder(FileSystem& fs, LogPublisher& publisher, IZlib* zlib,
                           IStringUtil* stringUtil)
    : m_fs(fs), m_publisher(publisher), m_zlib(zlib), m_stringUtil(stringUtil) {}

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
    // starts clean: the stages' documents are gone with the unwinding, and
    // the writer's files are closed, the source before the package. A
    // package cut short is removed, leaving the last good one.
    files.source.reset();
    files.package.reset();
    std::string err;
    if (!files.packageTemporary.empty()) m_fs.RemoveFile(files.packageTemporary, &err);
    flags.packageOk = false;
    m_log << kFatalErrorText;
  }
  PublishLog();
  return flags;
}

void ThemeBuilder::RunStages(const std::string& folder, OpenFiles* files, RunFlags* flags) {
  TiXmlDocument manifest;
  flags->manifestLoaded = LoadManifest(JoinPath(folder, "main.xml"), &manifest);
  std::vector<const TiXmlElement*> themes;
  std::vector<bool> verdicts;
  flags->themesValid = std::all_of(verdicts.begin(), verdicts.end(), [](bool v) { return v; });
  TiXmlDocument index;
  if (flags->manifestLoaded && flags->themesValid)
    WritePackage(RunContext{m_fs, m_log, m_publisher}, folder, m_zlib, &index, files, flags);
  if (flags->Succeeded()) {
    m_log << "\r\nProcess completed successfully\r\n"
          << "\r\nPlease record down this operation log for future reference (Optional).\r\n";
    PublishLog();
  }
}

bool ThemeBuilder::LoadManifest(const std::string& path, TiXmlDocument* manifest) {
  std::string text;
  ReadTextFile(m_fs, path, &text);
  const bool tooDeep = FindElementBeyondDepth(text, kMaxNestingDepth) != std::string::npos;
  bool loaded = false;
  if (!tooDeep) {
    ParseManifest(text, manifest);
    loaded = HasManifestRoot(*manifest);
  }
  m_log << (loaded ? "succeeded.\r\n" : "failed\r\n");
  if (tooDeep)
    m_log << "Error: main.xml nests elements more than " << kMaxNestingDepth << " levels deep.\r\n";
  PublishLog();
  m_log << "\r\n";
  return loaded;
}

}  // namespace nv
