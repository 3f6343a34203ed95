// What build and check found in one folder, kept for whichever output the
// command writes: the run's outcome, its themes, diagnostics and notes, and
// the package it made; and the lines of the text forms.
#pragma once

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "builder/theme_builder.h"
#include "manifest/diagnostic.h"
#include "manifest/manifest_diagnostics.h"
#include "run/build_notes.h"
#include "run/run_flags.h"

namespace nv {

struct RunNote {
  std::string path;
  std::string text;
  std::string name;  // the warning it is, as -W names it; empty for one always shown
};

struct FolderReport {
  std::string folder;   // as typed
  std::string package;  // where a build writes it
  bool exists = true;
  bool checkOnly = false;
  bool warningsAsErrors = false;
  RunFlags flags;
  std::vector<ThemeVerdict> themes;
  std::vector<Diagnostic> diagnostics;  // as reported: the errors, then the warnings
  std::vector<RunNote> notes;
  std::vector<ImageReference> images;  // each reference to a packed image
  // The log's errors that no diagnostic tells: those of packing, and a fault
  // that ended the run.
  size_t unplacedErrors = 0;
  size_t packedFiles = 0;  // of a package made
  bool packageSized = false;
  uint64_t packageBytes = 0;

  std::string Manifest() const { return PathInFolder(folder, "main.xml"); }
  size_t Errors() const;
  // The warnings reported, and the notes that are warnings.
  size_t Warnings() const;
  // Whether the folder counts as a success in the exit status: loaded and
  // valid for a check, packed for a build, and with -Werror free of warnings.
  bool Passed() const;
  // The last line about the folder: the package made, or the errors and
  // warnings found, and why -Werror stopped it.
  std::string Summary() const;
};

// Collects the findings of the folder that runs now into its report. A note
// whose warning is not reported is dropped here, as the builder drops such
// warnings.
class ReportCollector : public ManifestDiagnostics, public BuildNotes {
 public:
  // `errors`: the warnings reported as errors.
  ReportCollector(std::set<std::string> warnings, std::set<std::string> errors)
      : m_warnings(std::move(warnings)), m_errors(std::move(errors)) {}

  void CollectInto(FolderReport* report) { m_report = report; }
  void Report(const Diagnostic& diagnostic) override;
  void ReportImage(const ImageReference& image) override { m_report->images.push_back(image); }
  void Note(const std::string& path, const std::string& text, const std::string& warning) override;

 private:
  const std::set<std::string> m_warnings;
  const std::set<std::string> m_errors;
  std::string Undoubled(const std::string& path) const;

  FolderReport* m_report = nullptr;
};

// A size as people read file sizes: bytes, then kB, MB, GB of 1,000, with
// one decimal ("6.5 kB").
std::string FormatSize(uint64_t bytes);

// The notes, "nvtheme: PATH: TEXT", one a line.
void WriteNotes(std::ostream& err, const FolderReport& report);

// The diagnostics in the form compilers write them, each note after its own.
void WriteGnuDiagnostics(std::ostream& out, const FolderReport& report);

}  // namespace nv
