// The build run: one source folder's manifest loaded and checked, its themes
// validated and its files packed, every step reported in the operation log.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "build/build_progress.h"
#include "build/manifest_diagnostics.h"
#include "build/operation_log.h"
#include "build/run_context.h"
#include "platform/file_system.h"
#include "services/component.h"

class TiXmlDocument;
class TiXmlElement;

namespace nv {

// The four flags of a run, all false when it starts.
struct RunFlags {
  bool manifestLoaded = false;
  bool themesValid = false;
  bool filesFound = false;
  bool packageOk = false;

  // Whether the run wrote its closing success lines.
  bool Succeeded() const { return manifestLoaded && themesValid && filesFound && packageOk; }
  // Whether the manifest loaded and every theme in it is valid.
  bool Valid() const { return manifestLoaded && themesValid; }
};

struct BuildOptions {
  // Ends each run after the validation: nothing is packed or written.
  bool checkOnly = false;
  // Told of each fault a run finds in a manifest, with where it stands; may be null.
  ManifestDiagnostics* diagnostics = nullptr;
  // Threads that read and compress files; 0: one per core.
  unsigned jobs = 0;
  // Told how far packing has come; may be null.
  BuildProgress* progress = nullptr;
  // Told what the log leaves unsaid: files left out and why, links that lead
  // outside the folder; may be null.
  BuildNotes* notes = nullptr;
  // Whether files that lead outside the folder through a link are packed
  // (and named in a note) or passed over as unreadable.
  bool outsideLinks = true;
};

// The package file the writer has open, kept where the run's catch-all can
// close it, and its temporary name while it exists, which the catch-all
// removes. (Source files are opened and closed by whoever reads them.)
struct OpenFiles {
  std::unique_ptr<File> package;
  std::string packageTemporary;
};

extern const char kFatalErrorText[];

class ThemeBuilder {
 public:
  // The compression service may be null; a run then packs nothing.
  ThemeBuilder(FileSystem& fs, LogPublisher& publisher, IZlib* zlib, BuildOptions options = {});

  // Builds one folder, named exactly as the user typed it. Never throws.
  RunFlags BuildFolder(std::string folder);

  const std::string& Log() const { return m_log.Text(); }

 private:
  void RunStages(const std::string& folder, OpenFiles* files, RunFlags* flags);
  bool ManifestLeadsOutside(const std::string& folder, const std::string& path);
  bool LoadManifest(const std::string& folder, std::string* text, TiXmlDocument* manifest);
  void ValidateManifest(const std::string& folder, const std::string& text,
                        const TiXmlDocument& manifest, std::vector<const TiXmlElement*>* themes,
                        std::vector<bool>* verdicts);
  void Report(const std::string& manifest, TextPosition at, const std::string& message);
  void ReportLogLine(const std::string& manifest, TextPosition at, size_t lineStart);
  void PublishLog() { m_publisher.PublishLog(m_log.Text()); }
  RunContext Context() {
    return RunContext{m_fs, m_log, m_publisher, m_options.notes, m_options.outsideLinks};
  }

  FileSystem& m_fs;
  LogPublisher& m_publisher;
  IZlib* m_zlib;
  BuildOptions m_options;
  OperationLog m_log;
};

}  // namespace nv
