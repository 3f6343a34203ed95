// Diagnostics in the form compilers write them, which editors and CI
// systems take up: FILE:LINE:COLUMN: SEVERITY: MESSAGE [-WNAME], one a line,
// each note after its diagnostic as FILE:LINE:COLUMN: note: NOTE, at the
// diagnostic's place or, for a note about another, at that one. Paths and
// texts are escaped, so that no value of a manifest can break its line or
// forge another.
#pragma once

#include <ostream>

#include "manifest/manifest_diagnostics.h"
#include "manifest/warning_table.h"
#include "package/entry_name.h"

namespace nv {

// A severity as compilers write it, and as the other output formats name it.
inline const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    default:
      return "note";
  }
}

// The severity a diagnostic is told with: -Werror makes every warning an
// error, though the counts still call it a warning that -Werror made one.
inline Severity ToldSeverity(Severity severity, const std::string& name, bool warningsAsErrors) {
  const bool promoted = warningsAsErrors && !name.empty() && severity == Severity::kWarning;
  return promoted ? Severity::kError : severity;
}

// " [-WNAME]" after a warning's message, and " [-Werror,-WNAME]" after one
// that -Werror or -Werror=NAME made an error, as clang labels it, so that
// the reader knows which switch to turn; nothing after a rule's error.
inline std::string WarningLabel(const Diagnostic& d, bool warningsAsErrors) {
  if (d.name.empty()) return "";
  const WarningName* row = FindWarningName(d.name);
  const bool byDefault = d.severity == Severity::kError && row && row->severity == d.severity;
  const bool bySwitch =
      !byDefault && ToldSeverity(d.severity, d.name, warningsAsErrors) == Severity::kError;
  return " [" + std::string(bySwitch ? "-Werror," : "") + "-W" + d.name + "]";
}

class GnuDiagnostics : public ManifestDiagnostics {
 public:
  GnuDiagnostics(std::ostream& out, bool warningsAsErrors)
      : m_out(out), m_warningsAsErrors(warningsAsErrors) {}

  void Report(const Diagnostic& d) override {
    Line(d, SeverityName(ToldSeverity(d.severity, d.name, m_warningsAsErrors)),
         d.message + WarningLabel(d, m_warningsAsErrors));
    for (const std::string& note : d.notes) Line(d, "note", note);
    for (const LocatedNote& note : d.related) Line(note.file, note.at, "note", note.text);
    m_out << std::flush;
  }

 private:
  void Line(const Diagnostic& d, const char* severity, const std::string& text) {
    Line(d.file, d.at, severity, text);
  }
  void Line(const std::string& file, TextPosition at, const char* severity,
            const std::string& text) {
    m_out << EscapeText(file, Backslash::kSingle) << ':' << at.line << ':' << at.column << ": "
          << severity << ": " << EscapeText(text, Backslash::kSingle) << '\n';
  }

  std::ostream& m_out;
  const bool m_warningsAsErrors;
};

}  // namespace nv
