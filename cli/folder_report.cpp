// One folder's findings, and the text forms of them.
#include "cli/folder_report.h"

#include <algorithm>

#include "cli/error_line.h"
#include "cli/gnu_diagnostics.h"
#include "package/package_writer.h"

namespace nv {

namespace {

std::string Count(size_t n, const std::string& what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}  // namespace

size_t FolderReport::Errors() const {
  return unplacedErrors +
         std::count_if(diagnostics.begin(), diagnostics.end(),
                       [](const Diagnostic& d) { return d.severity == Severity::kError; });
}

size_t FolderReport::Warnings() const {
  const auto isWarning = [](const Diagnostic& d) { return d.severity == Severity::kWarning; };
  const auto isNamed = [](const RunNote& n) { return !n.name.empty(); };
  return std::count_if(diagnostics.begin(), diagnostics.end(), isWarning) +
         std::count_if(notes.begin(), notes.end(), isNamed);
}

// An error printed fails the folder, even one the rules let a theme pass
// with (a second layout missing): a build still makes the package the log
// names, as a compiler writes its output despite an error it reports.
bool FolderReport::Passed() const {
  const bool ran = checkOnly ? flags.Valid() : flags.Succeeded();
  return exists && ran && Errors() == 0 && !(warningsAsErrors && Warnings() > 0);
}

std::string FolderReport::Summary() const {
  if (!checkOnly && flags.Succeeded())
    return package + ": " + Count(packedFiles, "file") +
           (packageSized ? ", " + FormatSize(packageBytes) : "") +
           (Errors() > 0 ? ", made with " + Count(Errors(), "error") : "");
  std::string line = folder + ": " + Count(Errors(), "error") + ", " + Count(Warnings(), "warning");
  if (warningsAsErrors && Warnings() > 0 && flags.Valid())
    line +=
        checkOnly ? "; -Werror makes them errors" : "; not packed, as -Werror makes them errors";
  else if (warningsAsErrors && !checkOnly && Errors() > 0 && flags.Valid())
    line += "; not packed, as -Werror stops on any error";
  return line;
}

// A warning made an error is an error everywhere: the exit status, the
// counts, the gnu line, JSON and SARIF.
void ReportCollector::Report(const Diagnostic& diagnostic) {
  if (!m_report) return;
  m_report->diagnostics.push_back(diagnostic);
  if (!diagnostic.name.empty())
    m_report->diagnostics.back().severity =
        m_errors.count(diagnostic.name) ? Severity::kError : Severity::kWarning;
}

// The builder and the writer name the folder's files as the log does, with
// the folder as typed; a note names them as its author would write them.
std::string ReportCollector::Undoubled(const std::string& path) const {
  const std::string inFolder = JoinPath(m_report->folder, "");
  if (path.compare(0, inFolder.size(), inFolder) != 0) return path;
  return PathInFolder(m_report->folder, path.substr(inFolder.size()));
}

void ReportCollector::Note(const std::string& path, const std::string& text,
                           const std::string& warning) {
  if (!m_report || (!warning.empty() && !m_warnings.count(warning))) return;
  m_report->notes.push_back({Undoubled(path), text, warning});
}

// Rounded to a tenth; a size that would read 1000.0 of one unit reads 1.0
// of the next.
std::string FormatSize(uint64_t bytes) {
  if (bytes < 1000) return Count(bytes, "byte");
  const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  uint64_t tenth = 100;  // bytes in a tenth of the unit
  size_t unit = 0;
  while (unit + 1 < 6 && (bytes + tenth / 2) / tenth >= 10000) {
    tenth *= 1000;
    ++unit;
  }
  const uint64_t tenths = (bytes + tenth / 2) / tenth;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + units[unit];
}

void WriteNotes(std::ostream& err, const FolderReport& report) {
  for (const RunNote& note : report.notes) WriteErrorLine(err, note.path + ": " + note.text);
}

// The builder reports the errors as the validation finds them and the
// warnings after it, so that the order asked for is the order reported.
void WriteGnuDiagnostics(std::ostream& out, const FolderReport& report) {
  GnuDiagnostics gnu(out, report.warningsAsErrors);
  for (const Diagnostic& diagnostic : report.diagnostics) gnu.Report(diagnostic);
}

}  // namespace nv
