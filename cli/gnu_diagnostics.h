// Diagnostics in the form compilers write them, which editors and CI
// systems take up: MANIFEST:LINE:COLUMN: error: MESSAGE, one a line. Path and
// message are escaped, so that no value of a manifest can break its line or
// forge another.
#pragma once

#include <ostream>

#include "manifest/manifest_diagnostics.h"
#include "package/entry_name.h"

namespace nv {

class GnuDiagnostics : public ManifestDiagnostics {
 public:
  explicit GnuDiagnostics(std::ostream& out) : m_out(out) {}

  void Report(const std::string& manifest, TextPosition at, const std::string& message) override {
    m_out << EscapeText(manifest, Backslash::kSingle) << ':' << at.line << ':' << at.column
          << ": error: " << EscapeText(message, Backslash::kSingle) << '\n' << std::flush;
  }

 private:
  std::ostream& m_out;
};

}  // namespace nv
