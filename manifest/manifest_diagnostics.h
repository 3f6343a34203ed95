// Findings of a build run about places in a manifest, for tools that take an
// editor there. The operation log stays the record of the rules: each error's
// message is the text of its log line; warnings and notes are told here alone.
#pragma once

#include <string>

#include "manifest/diagnostic.h"
#include "manifest/image_reference.h"
#include "xml/text_position.h"

namespace nv {

class ManifestDiagnostics {
 public:
  virtual ~ManifestDiagnostics() = default;
  // One finding. An error's message is its log line without "Error: " and
  // line end.
  virtual void Report(const Diagnostic& diagnostic) = 0;
  // Each reference to a packed image, in document order, once the warnings
  // are found; for reports that list images.
  virtual void ReportImage(const ImageReference&) {}
};

// The message of an error line of the log: the line without its leading
// "Error: " and its line end.
inline std::string MessageOfErrorLine(std::string line) {
  if (line.compare(0, 7, "Error: ") == 0) line.erase(0, 7);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace nv
