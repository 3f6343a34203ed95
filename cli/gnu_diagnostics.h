// Diagnostics in the form compilers write them, which editors and CI
// systems take up: MANIFEST:LINE:COLUMN: error: MESSAGE, one a line.
#pragma once

#include <ostream>

#include "build/manifest_diagnostics.h"

namespace nv {

class GnuDiagnostics : public ManifestDiagnostics {
 public:
  explicit GnuDiagnostics(std::ostream& out) : m_out(out) {}

  void Report(const std::string& manifest, TextPosition at, const std::string& message) override {
    m_out << manifest << ':' << at.line << ':' << at.column << ": error: " << message << '\n'
          << std::flush;
  }

 private:
  std::ostream& m_out;
};

}  // namespace nv
