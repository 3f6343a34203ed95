// The build run of one source folder.
#include "builder/theme_builder.h"

#include <tinyxml.h>

#include <algorithm>
#include <vector>

#include "manifest/manifest.h"
#include "manifest/manifest_log_texts.h"
#include "manifest/read_text_file.h"
#include "manifest/validate_themes.h"
#include "package/package_writer.h"
#include "xml/parser_limits.h"

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
  flags->manifestLoaded = LoadManifest(folder, &text, &manifest);
  std::vector<const TiXmlElement*> themes;
  std::vector<bool> verdicts;
  if (flags->manifestLoaded) ValidateManifest(folder, text, manifest, &themes, &verdicts);
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

bool ThemeBuilder::LoadManifest(const std::string& folder, std::string* text,
                                TiXmlDocument* manifest) {
  const std::string path = JoinPath(folder, "main.xml");
  std::string err;
  const TextRead read = ManifestLeadsOutside(folder, path)
                            ? TextRead::kUnreadable
                            : ReadTextFile(m_fs, path, text, &err, kMaxManifestBytes);
  // The log says "failed" alone; the note says why.
  if (read == TextRead::kUnreadable && !err.empty()) Context().Note(path, err);
  const ElementBeyondLimits beyond = FindElementBeyondLimits(*text);
  const bool parsed =
      read != TextRead::kTooLarge && beyond.limit == ElementBeyondLimits::Limit::kNone;
  if (parsed) ParseManifest(*text, manifest);
  const bool loaded = parsed && HasManifestRoot(*manifest);
  m_log << (loaded ? log_text::kLoadSucceeded : log_text::kLoadFailed);
  const size_t lineStart = m_log.Text().size();
  if (read == TextRead::kTooLarge) {
    m_log << log_text::ManifestTooLarge();
    ReportLogLine(path, TextPosition(), lineStart);
  } else if (beyond.limit == ElementBeyondLimits::Limit::kDepth) {
    m_log << log_text::NestedTooDeep();
    ReportLogLine(path, TextLines(*text).At(beyond.offset), lineStart);
  } else if (beyond.limit == ElementBeyondLimits::Limit::kAttributes) {
    m_log << log_text::TooManyAttributes();
    ReportLogLine(path, TextLines(*text).At(beyond.offset), lineStart);
  } else if (!loaded) {
    Report(path, TextPosition(), "no root element \"nuvarinepackage\".");
  }
  PublishLog();
  m_log << log_text::kLoadEnd;
  return loaded;
}

// A manifest that leads outside the folder, where such files are not taken,
// is not read: its text could be anyone's.
bool ThemeBuilder::ManifestLeadsOutside(const std::string& folder, const std::string& path) {
  std::string target, err;
  if (m_options.outsideLinks || !m_fs.LeadsOutside(folder, path, &target, &err)) return false;
  Context().Note(path, "not read: a link to " + target + ", outside the folder");
  return true;
}

// The validation's findings are reported where their elements stand.
void ThemeBuilder::ValidateManifest(const std::string& folder, const std::string& text,
                                    const TiXmlDocument& manifest,
                                    std::vector<const TiXmlElement*>* themes,
                                    std::vector<bool>* verdicts) {
  const std::string path = JoinPath(folder, "main.xml");
  std::unique_ptr<ElementPositions> positions;
  ThemeFindings findings;
  if (m_options.diagnostics) {
    positions = std::make_unique<ElementPositions>(text, manifest);
    findings = [&](const TiXmlElement& concerned, const std::string& line) {
      Report(path, positions->Of(concerned), MessageOfErrorLine(line));
    };
  }
  ValidateThemes(Context(), folder, manifest, themes, verdicts, findings);
}

void ThemeBuilder::Report(const std::string& manifest, TextPosition at,
                          const std::string& message) {
  if (!m_options.diagnostics) return;
  Diagnostic error;
  error.file = manifest;
  error.at = at;
  error.message = message;
  m_options.diagnostics->Report(error);
}

// Reports the error line written to the log from lineStart on.
void ThemeBuilder::ReportLogLine(const std::string& manifest, TextPosition at, size_t lineStart) {
  Report(manifest, at, MessageOfErrorLine(m_log.Text().substr(lineStart)));
}

}  // namespace nv
