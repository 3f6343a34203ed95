// Diagnostics in the form compilers write them, which editors and CI
// systems take up: FILE:LINE:COLUMN: SEVERITY: MESSAGE [-WNAME], one a line,
// each note after its diagnostic as FILE:LINE:COLUMN: note: NOTE, at the
// diagnostic's place or, for a note about another, at that one. Paths and
// texts are escaped, so that no value of a manifest can break its line or
// forge another.
#pragma once

#include <ostream>

#include "manifest/manifest_diagnostics.h"
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

class GnuDiagnostics : public ManifestDiagnostics {
 public:
  explicit GnuDiagnostics(std::ostream& out) : m_out(out) {}

  void Report(const Diagnostic& d) override {
    Line(d, SeverityName(d.severity), d.message + (d.name.empty() ? "" : " [-W" + d.name + "]"));
    for (const std::string& note : d.notes) Line(d.file, d.at, "note", note);
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
};

}  // namespace nv
