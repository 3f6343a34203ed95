// The nvtheme command: subcommands dispatched to the build core and the
// package reader.
#include "cli/nvtheme.h"

#include <algorithm>
#include <iostream>
#include <set>

#include "builder/image_verdict_cache.h"
#include "builder/theme_builder.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "cli/error_line.h"
#include "cli/file_notes.h"
#include "cli/folder_report.h"
#include "cli/init_theme.h"
#include "cli/json_report.h"
#include "cli/lsp_server.h"
#include "cli/package_commands.h"
#include "cli/package_destination.h"
#include "cli/package_path.h"
#include "cli/sarif_report.h"
#include "cli/stream_publisher.h"
#include "cli/text_diagnostics.h"
#include "cli/watch_loop.h"
#include "manifest/manifest.h"
#include "manifest/read_text_file.h"
#include "package/build_cache.h"
#include "package/package_temporaries.h"
#include "package/package_writer.h"
#include "platform/interrupt.h"
#include "platform/open_files.h"
#include "services/component.h"

namespace nv {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr int kInterrupted = 130;  // as shells report Ctrl-C

// Passes packing's progress on to whoever shows it, and keeps the number of
// files the package holds, for the summary.
class CountingProgress : public BuildProgress {
 public:
  explicit CountingProgress(BuildProgress* shown) : m_shown(shown) {}
  void PackingStarted(size_t files, uint64_t bytes) override {
    this->files = files;
    if (m_shown) m_shown->PackingStarted(files, bytes);
  }
  void FilePacked(uint64_t bytes) override {
    if (m_shown) m_shown->FilePacked(bytes);
  }
  void PackingEnded() override {
    if (m_shown) m_shown->PackingEnded();
  }

  size_t files = 0;

 private:
  BuildProgress* m_shown;
};

// The errors that no diagnostic tells: the lines of the log from `from`,
// where packing begins (npos for a run that never reached it), that begin
// with "Error: ", and the fault that ends a run.
size_t UnplacedErrors(const std::string& log, size_t from) {
  size_t errors = 0;
  const std::string line = "\nError: ";
  for (size_t at = log.find(line, from); at != std::string::npos; at = log.find(line, at + 1))
    ++errors;
  const size_t fatal = std::string(kFatalErrorText).size();
  return errors +
         (log.size() >= fatal && log.compare(log.size() - fatal, fatal, kFatalErrorText) == 0);
}

// The manifest's text, read again for the lines its diagnostics point
// into; false when none does, when it cannot be read, or when it leads
// outside the folder and the run was told to pass such files over.
bool ReadManifestAgain(FileSystem& fs, const FolderReport& report, bool outsideLinks,
                       std::string* text) {
  const std::string manifest = report.Manifest();
  const bool pointedInto = std::any_of(report.diagnostics.begin(), report.diagnostics.end(),
                                       [&](const Diagnostic& d) { return d.file == manifest; });
  std::string target, err;
  if (!pointedInto || (!outsideLinks && fs.LeadsOutside(report.folder, manifest, &target, &err)))
    return false;
  return ReadTextFile(fs, manifest, text, &err, kMaxManifestBytes) == TextRead::kRead;
}

// The folders of build and check, each run as the dialog runs a field: when
// something of that name exists, the run gets the name unchanged. The log
// goes to standard output as it is written; each folder's notes,
// diagnostics and summary follow its log on standard error.
class FolderRun {
 public:
  FolderRun(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err,
            BuildProgress* progress, const CacheSettings& cache, IZlib* zlib)
      : m_line(line),
        m_fs(fs),
        m_cacheSettings(cache),
        m_out(out),
        m_err(err),
        m_logPublisher(out),
        m_collector(line.warnings, line.warningErrors),
        m_progress(progress),
        m_zlib(zlib) {}

  int Run() {
    const bool check = m_line.command == Command::Check;
    BuildOptions options;
    options.checkOnly = check;
    options.diagnostics = &m_collector;
    options.jobs = m_line.jobs;
    options.progress = check ? nullptr : &m_progress;
    options.notes = &m_collector;
    options.outsideLinks = m_line.outsideLinks;
    options.warnings = m_line.warnings;
    options.heldFiles = FilesToHoldOpen();
    options.checked = [this](const std::vector<ThemeVerdict>& themes, FileSystem& disk) {
      return Checked(themes, disk);
    };
    // A build keeps its packages' blocks; both keep their images' verdicts.
    const bool cached = m_cacheSettings.on && !m_line.noCache;
    std::unique_ptr<BuildCache> cache;
    std::unique_ptr<ImageVerdictCache> verdicts;
    if (cached && !check)
      cache = std::make_unique<BuildCache>(m_fs, m_cacheSettings.folder,
                                           std::string("nvtheme ") + kVersion, *m_zlib);
    if (cached) verdicts = std::make_unique<ImageVerdictCache>(m_fs, m_cacheSettings.folder);
    options.cache = cache.get();
    options.imageVerdicts = verdicts.get();
    const bool showsLog = m_line.format == OutputFormat::Log && !m_line.quiet;
    ThemeBuilder builder(m_fs, showsLog ? static_cast<LogPublisher&>(m_logPublisher) : m_silent,
                         m_zlib, options);
    m_builder = &builder;
    bool allPassed = true;
    const bool document =
        m_line.format == OutputFormat::Json || m_line.format == OutputFormat::Sarif;
    std::vector<FolderReport> reports;  // for a document of them all
    for (const std::string& folder : m_line.operands) {
      FolderReport report = RunFolder(folder);
      allPassed &= report.Passed();
      Write(report);
      if (document) reports.push_back(std::move(report));
    }
    const int status = allPassed ? kSuccess : kFailure;
    // Watching, each run's document is one line, so that a reader splits
    // the stream of them at line ends.
    const JsonLayout layout = m_line.watch ? JsonLayout::kCompact : JsonLayout::kIndented;
    if (m_line.format == OutputFormat::Json)
      WriteJsonReport(m_out, reports, m_line.warningsAsErrors, layout);
    if (m_line.format == OutputFormat::Sarif)
      WriteSarifReport(m_out, m_fs, reports, status, layout);
    if (document && m_line.watch) WriteWatchSummaries(reports);
    return status;
  }

 private:
  FolderReport RunFolder(const std::string& folder) {
    FolderReport report;
    report.folder = folder;
    report.package = m_line.output.empty() ? PackageOf(folder) : m_line.output;
    report.checkOnly = m_line.command == Command::Check;
    report.warningsAsErrors = m_line.warningsAsErrors;
    std::string missing;
    if (!m_fs.PathExists(folder, &missing)) {
      report.exists = false;
      return report;
    }
    m_collector.CollectInto(&report);
    m_report = &report;
    m_progress.files = 0;
    m_checksEnd = std::string::npos;
    report.flags = m_builder->BuildFolder(folder, report.package);
    m_collector.CollectInto(nullptr);
    report.unplacedErrors = UnplacedErrors(m_builder->Log(), m_checksEnd);
    if (!report.checkOnly && report.flags.Succeeded()) {
      report.packedFiles = m_progress.files;
      std::string unknown;  // a size not known is left out of the summary
      report.packageSized = m_fs.FileSize(report.package, &report.packageBytes, &unknown);
      RemoveKilledBuildsFiles(report.package);
    }
    return report;
  }

  // The temporary packages that killed builds left beside the package, timed
  // by the disk's clock, which the package just made reads.
  void RemoveKilledBuildsFiles(const std::string& package) {
    FileStamp now;
    std::string unknown;
    if (m_fs.Stamp(package, &now, &unknown)) RemoveStaleTemporaries(m_fs, package, now.changed);
  }

  // A check, and a build that -Werror may stop, also hear of the folder's
  // files that the package would leave out or take from outside, which a
  // build that packs hears of from the writer; -Werror stops the build on
  // any warning, and on any error, though the rules let its themes pass.
  bool Checked(const std::vector<ThemeVerdict>& themes, FileSystem& disk) {
    m_report->themes = themes;
    if (m_report->checkOnly || m_line.warningsAsErrors)
      NoteUnpackedFolderFiles(disk, m_report->folder, m_report->package, m_line.outsideLinks,
                              m_line.warnings, m_collector);
    m_checksEnd = m_builder->Log().size();
    return !(m_line.warningsAsErrors && (m_report->Warnings() > 0 || m_report->Errors() > 0));
  }

  void Write(const FolderReport& report) {
    if (!report.exists) {
      WriteErrorLine(m_err, report.folder + ": no such file or folder");
      return;
    }
    if (m_line.format != OutputFormat::Log) {
      if (m_line.format == OutputFormat::Gnu) WriteGnuDiagnostics(m_out, report);
      WriteNotes(m_err, report);
      if (m_line.watch && m_line.format == OutputFormat::Gnu)
        WriteErrorLine(m_err, report.Summary());
      return;
    }
    WriteNotes(m_err, report);
    std::string manifest;
    const bool read = ReadManifestAgain(m_fs, report, m_line.outsideLinks, &manifest);
    WriteTextDiagnostics(m_err, report, read ? &manifest : nullptr,
                         m_line.colour == ColourChoice::Always);
    WriteErrorLine(m_err, report.Summary());
  }

  // Watching, every run ends with its summaries, a clean one too, which
  // would otherwise leave the screen as the last run left it; after the
  // document, which is written whole first.
  void WriteWatchSummaries(const std::vector<FolderReport>& reports) {
    m_out.flush();
    for (const FolderReport& report : reports)
      if (report.exists) WriteErrorLine(m_err, report.Summary());
  }

  const CommandLine& m_line;
  FileSystem& m_fs;
  const CacheSettings& m_cacheSettings;
  std::ostream& m_out;
  std::ostream& m_err;
  StreamPublisher m_logPublisher;
  SilentPublisher m_silent;
  ReportCollector m_collector;
  CountingProgress m_progress;
  IZlib* m_zlib;  // null for check
  ThemeBuilder* m_builder = nullptr;
  FolderReport* m_report = nullptr;
  size_t m_checksEnd = 0;
};

// The status of a command that defers interruptions and undoes its work
// when one comes.
int Ended(bool ok, std::ostream& err) {
  if (ok || !InterruptRequested()) return ok ? kSuccess : kFailure;
  WriteErrorLine(err, "interrupted");
  return kInterrupted;
}

int ReadPackage(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err) {
  const std::vector<std::string>& operands = line.operands;
  const ExistingFiles existing = line.force ? ExistingFiles::kReplace : ExistingFiles::kRefuse;
  bool ok = line.command == Command::List ? ListPackage(fs, operands[0], out, err)
            : line.command == Command::Extract
                ? ExtractPackage(fs, operands[0], operands[1], existing, err)
                : VerifyPackage(fs, operands[0], out, err);
  return Ended(ok, err);
}

// Empties the build cache, wherever the environment puts it, whether or
// not builds use it.
int ClearCache(FileSystem& fs, const CacheSettings& settings, std::ostream& err) {
  if (settings.folder.empty()) {
    WriteErrorLine(err, "no build cache: " + settings.unknown);
    return kFailure;
  }
  size_t removed = 0;
  std::string why;
  const bool cleared = ClearBuildCache(fs, settings.folder, &removed, &why);
  WriteErrorLine(err, settings.folder + ": " + std::to_string(removed) +
                          (removed == 1 ? " file" : " files") + " removed");
  if (!cleared) WriteErrorLine(err, why);
  return cleared ? kSuccess : kFailure;
}

// A build that would destroy what it reads, or what is not a file, does not
// start: every folder's package is looked at before the first is built.
bool MayWritePackages(const CommandLine& line, FileSystem& fs, const CacheSettings& cache,
                      std::ostream& err) {
  for (const std::string& folder : line.operands) {
    const std::string package = line.output.empty() ? PackageOf(folder) : line.output;
    std::string why, missing;
    if (!fs.PathExists(folder, &missing) ||
        CheckPackageDestination(fs, folder, package, cache.folder, &why))
      continue;
    WriteErrorLine(err, why);
    return false;
  }
  return true;
}

// A build packs nothing without its compression service, so one that
// cannot have it ends before its first folder, saying why.
bool CreateZlib(KestFactory createService, ServiceRef<IZlib>* zlib, std::ostream& err) {
  const int32_t result = createService(u"KestRTU.dll", u"IZlib", zlib->Put());
  if (result == kKestOk) return true;
  WriteErrorLine(err, std::string("cannot create the IZlib service of KestRTU.dll: ") +
                          DescribeKestResult(result));
  return false;
}

// Build and check, run again on every change with --watch. The watch
// starts before the first run, so that a save during it is not missed.
int RunFolders(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err,
               BuildProgress* progress, const CacheSettings& cache, KestFactory createService) {
  const bool build = line.command == Command::Build;
  if (build && !MayWritePackages(line, fs, cache, err)) return kUsageError;
  ServiceRef<IZlib> zlib;
  if (build && !CreateZlib(createService, &zlib, err)) return kFailure;
  const auto run = [&] { return FolderRun(line, fs, out, err, progress, cache, zlib.get()).Run(); };
  if (!line.watch) return run();
  std::string reason;
  std::vector<std::string> packages;
  for (const std::string& folder : line.operands)
    packages.push_back(line.output.empty() ? PackageOf(folder) : line.output);
  // An editor's scratch files come and go as an author works; one that the
  // last run packed (it was there when the run began) is the theme's.
  std::set<std::string> lastRun;
  const auto ignored = [&](const std::string& name) {
    return IsPackageName(packages, name) || (IsEditorScratch(name) && !lastRun.count(name));
  };
  const std::unique_ptr<FolderWatch> watch = WatchFolders(line.operands, ignored, &reason);
  if (!watch) {
    WriteErrorLine(err, "cannot watch the folders: " + reason);
    return kFailure;
  }
  const auto rerun = [&] {
    lastRun.clear();
    for (const std::string& folder : line.operands) {
      std::vector<std::string> names;
      fs.ListFolder(folder, &names, &reason);
      lastRun.insert(names.begin(), names.end());
    }
    return run();
  };
  const char* doing = line.command == Command::Check ? "checking" : "building";
  return WatchLoop{*watch, doing, rerun, LocalTimeOfDay}.Run(out, err);
}

// The language server keeps its images' verdicts where check does.
LspSettings LspSettingsOf(const CacheSettings& cache) {
  LspSettings settings;
  if (cache.on) settings.cacheFolder = cache.folder;
  return settings;
}

int Run(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out, std::ostream& err,
        BuildProgress* progress, const CacheSettings& cache, KestFactory createService,
        bool colourTerminal) {
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(args, &line, &error)) {
    WriteErrorLine(err, error);
    err << "Try 'nvtheme --help' for more information.\n";
    return kUsageError;
  }
  if (line.colour == ColourChoice::Auto)
    line.colour = colourTerminal ? ColourChoice::Always : ColourChoice::Never;
  if (line.help) {
    out << Usage();
    return kSuccess;
  }
  if (line.version) {
    out << "nvtheme " << kVersion << "\n" << kCopyright;
    return kSuccess;
  }
  if (line.listWarnings) {
    out << WarningList();
    return kSuccess;
  }
  if (line.command == Command::Build || line.command == Command::Check)
    return RunFolders(line, fs, out, err, progress, cache, createService);
  if (line.command == Command::Cache) return ClearCache(fs, cache, err);
  if (line.command == Command::Lsp)
    return ServeLanguage(std::cin, out, err, fs, LspSettingsOf(cache));
  if (line.command == Command::Init)
    return Ended(InitTheme(fs, line.operands[0], line.themeName, err), err);
  return ReadPackage(line, fs, out, err);
}

}  // namespace

// Output that was lost fails the command whatever it did: a list or a log
// that nobody received is no success. A closed pipe is left to SIGPIPE, as
// in other tools; where that is ignored, it is a write error like others.
int RunNvtheme(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err, BuildProgress* progress, const CacheSettings& cache,
               KestFactory createService, bool colourTerminal) {
  CheckedOutput checkedOut(out);
  CheckedOutput checkedErr(err);
  checkedErr.Stream().tie(&checkedOut.Stream());  // as std::cerr is tied to std::cout
  const int status = Run(args, fs, checkedOut.Stream(), checkedErr.Stream(), progress, cache,
                         createService, colourTerminal);
  std::string reason;
  if (checkedOut.Flush(&reason) && checkedErr.Flush(&reason)) return status;
  WriteErrorLine(checkedErr.Stream(), "write error: " + reason);
  return kFailure;
}

}  // namespace nv
