// The build run: one source folder's manifest loaded and checked, its themes
// validated and its files packed, every step reported in the operation log.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "manifest/manifest_diagnostics.h"
#include "platform/file_system.h"
#include "run/build_progress.h"
#include "run/operation_log.h"
#include "run/run_context.h"
#include "run/run_flags.h"
#include "services/component.h"

namespace nv {

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
  // outside the folder, the system's reason for each disk operation that
  // failed; may be null.
  BuildNotes* notes = nullptr;
  // Whether files that lead outside the folder through a link are packed
  // (and named in a note) or passed over as unreadable.
  bool outsideLinks = true;
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
