// The nvtheme command: subcommands dispatched to the build core and the
// package reader.
#include "cli/nvtheme.h"

#include "builder/theme_builder.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "cli/error_line.h"
#include "cli/gnu_diagnostics.h"
#include "cli/package_commands.h"
#include "cli/stderr_notes.h"
#include "cli/stream_publisher.h"
#include "services/component.h"

namespace nv {

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// Each operand is run as the dialog runs a field: when something of that
// name exists, the run gets the name unchanged. Each folder's log is
// followed by its notes. Whether all passed.
bool RunFolders(const CommandLine& line, FileSystem& fs, ThemeBuilder& builder, StderrNotes& notes,
                std::ostream& err) {
  bool allPassed = true;
  std::string missing;
  for (const std::string& folder : line.operands) {
    if (!fs.PathExists(folder, &missing)) {
      WriteErrorLine(err, folder + ": no such file or folder");
      allPassed = false;
      continue;
    }
    const RunFlags flags = builder.BuildFolder(folder);
    notes.WriteTo(err);
    allPassed &= line.command == "check" ? flags.Valid() : flags.Succeeded();
  }
  return allPassed;
}

int Build(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err,
          BuildProgress* progress) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  StreamPublisher publisher(out);
  StderrNotes notes;
  BuildOptions options;
  options.jobs = line.jobs;
  options.progress = progress;
  options.notes = &notes;
  options.outsideLinks = line.outsideLinks;
  ThemeBuilder builder(fs, publisher, zlib.get(), options);
  return RunFolders(line, fs, builder, notes, err) ? kSuccess : kFailure;
}

// A check needs no services: it never packs.
int Check(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err) {
  const bool gnu = line.format == OutputFormat::Gnu;
  StreamPublisher logPublisher(out);
  SilentPublisher silent;
  GnuDiagnostics diagnostics(out);
  StderrNotes notes;
  BuildOptions options;
  options.checkOnly = true;
  options.diagnostics = gnu ? &diagnostics : nullptr;
  options.warnings = line.warnings;
  options.notes = &notes;
  options.outsideLinks = line.outsideLinks;
  ThemeBuilder builder(fs, gnu ? static_cast<LogPublisher&>(silent) : logPublisher, nullptr,
                       options);
  return RunFolders(line, fs, builder, notes, err) ? kSuccess : kFailure;
}

int ReadPackage(const CommandLine& line, FileSystem& fs, std::ostream& out, std::ostream& err) {
  const std::vector<std::string>& operands = line.operands;
  bool ok = line.command == "list"      ? ListPackage(fs, operands[0], out, err)
            : line.command == "extract" ? ExtractPackage(fs, operands[0], operands[1], err)
                                        : VerifyPackage(fs, operands[0], out, err);
  return ok ? kSuccess : kFailure;
}

int Run(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
        std::ostream& err, BuildProgress* progress) {
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(args, &line, &error)) {
    WriteErrorLine(err, error);
    err << "Try 'nvtheme --help' for more information.\n";
    return kUsageError;
  }
  if (line.help) {
    out << kUsage;
    return kSuccess;
  }
  if (line.version) {
    out << "nvtheme " << kVersion << "\n";
    return kSuccess;
  }
  if (line.listWarnings) {
    out << WarningList();
    return kSuccess;
  }
  if (line.command == "build") return Build(line, fs, out, err, progress);
  if (line.command == "check") return Check(line, fs, out, err);
  return ReadPackage(line, fs, out, err);
}

}  // namespace

// Output that was lost fails the command whatever it did: a list or a log
// that nobody received is no success. A closed pipe is left to SIGPIPE, as
// in other tools; where that is ignored, it is a write error like others.
int RunNvtheme(const std::vector<std::string>& args, FileSystem& fs, std::ostream& out,
               std::ostream& err, BuildProgress* progress) {
  CheckedOutput checkedOut(out);
  CheckedOutput checkedErr(err);
  checkedErr.Stream().tie(&checkedOut.Stream());  // as std::cerr is tied to std::cout
  const int status = Run(args, fs, checkedOut.Stream(), checkedErr.Stream(), progress);
  std::string reason;
  if (checkedOut.Flush(&reason) && checkedErr.Flush(&reason)) return status;
  WriteErrorLine(checkedErr.Stream(), "write error: " + reason);
  return kFailure;
}

}  // namespace nv
