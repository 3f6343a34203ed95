// The build run: one source folder's manifest loaded and checked, its themes
// validated and its files packed, every step reported in the operation log.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "builder/run_log_texts.h"
#include "manifest/broken_tag.h"
#include "manifest/manifest_diagnostics.h"
#include "platform/file_system.h"
#include "run/build_progress.h"
#include "run/operation_log.h"
#include "run/run_context.h"
#include "run/run_flags.h"
#include "services/component.h"
#include "xml/text_position.h"

class TiXmlDocument;
class TiXmlElement;

namespace nv {

class BuildCache;
class ImageVerdictCache;

// A theme as the validation judged it, for reports that list the themes.
struct ThemeVerdict {
  std::string name;  // its "name" attribute; empty when it has none
  TextPosition at;   // where its element stands in the manifest
  bool valid = false;
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
  // outside the folder, the system's reason for each disk operation that
  // failed; may be null.
  BuildNotes* notes = nullptr;
  // Whether files that lead outside the folder through a link are packed
  // (and named in a note) or passed over as unreadable.
  bool outsideLinks = true;
  // The warnings, by the names WarningNames() gives, that a run with
  // diagnostics reports once its manifest loaded; empty: none are looked for.
  std::set<std::string> warnings = {};
  // Called once a folder's manifest loaded and its themes and warnings are
  // checked, with each theme's verdict in document order; a build whose call
  // answers false stops there, as a check does, and packs nothing. May be
  // empty.
  // `disk` answers for the folder as the run saw it when it began.
  std::function<bool(const std::vector<ThemeVerdict>& themes, FileSystem& disk)> checked = nullptr;
  // How many of the folder's files the run may keep open from their test
  // until they are read (none where that keeps others from writing them).
  size_t heldFiles = 0;
  // Where unchanged files' blocks are taken from, and each build is kept
  // for the next; null: none. The package is the same either way.
  BuildCache* cache = nullptr;
  // Where a run takes the verdicts of images found whole before, by a look
  // at least as deep as its own, that did not change since, and keeps those
  // of this run for the next; null: none. What the run says is the same
  // either way.
  ImageVerdictCache* imageVerdicts = nullptr;
};

class ThemeBuilder {
 public:
  // The compression service may be null; a run then packs nothing.
  ThemeBuilder(FileSystem& fs, LogPublisher& publisher, IZlib* zlib, BuildOptions options = {});

  // Builds one folder, named exactly as the user typed it, into `package`
  // (empty: beside the folder, as PackagePath names it). Never throws.
  RunFlags BuildFolder(std::string folder, const std::string& package = {});

  const std::string& Log() const { return m_log.Text(); }

 private:
  void RunStages(const std::string& folder, const std::string& package, OpenFiles* files,
                 RunFlags* flags);
  bool FinishChecks(const std::string& folder, const std::string& package, const std::string& text,
                    const TiXmlDocument& manifest, const std::vector<const TiXmlElement*>& themes,
                    const std::vector<bool>& verdicts, const BrokenTag& told);
  void ReportWarnings(const std::string& folder, const std::string& package,
                      const std::string& text, const TiXmlDocument& manifest,
                      const BrokenTag& told);
  void PublishLog() { m_publisher.PublishLog(m_log.Text()); }
  RunContext Context() {
    return RunContext{*m_disk, m_log, m_publisher, m_options.notes, m_options.outsideLinks};
  }

  // Passes the rules' errors on and keeps them, so that no warning tells
  // again a fault that an error told.
  struct KeptErrors : ManifestDiagnostics {
    void Report(const Diagnostic& error) override {
      told.push_back(error);
      to->Report(error);
    }
    ManifestDiagnostics* to = nullptr;
    std::vector<Diagnostic> told;
  };

  FileSystem& m_fs;
  FileSystem* m_disk = &m_fs;  // during a run, its one look at the folder
  LogPublisher& m_publisher;
  IZlib* m_zlib;
  BuildOptions m_options;
  OperationLog m_log;
  KeptErrors m_errors;
};

}  // namespace nv
