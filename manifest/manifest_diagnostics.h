// Findings of a build run about places in a manifest, for tools that take an
// editor there. The operation log stays the one record of what was found:
// each finding's message is the text of its log line.
#pragma once

#include <string>

#include "xml/text_position.h"

namespace nv {

class ManifestDiagnostics {
 public:
  virtual ~ManifestDiagnostics() = default;
  // One finding: the manifest's path as the log writes it, the place the
  // finding is about, and its message, without "Error: " and line end.
  virtual void Report(const std::string& manifest, TextPosition at, const std::string& message) = 0;
};

// The message of an error line of the log: the line without its leading
// "Error: " and its line end.
inline std::string MessageOfErrorLine(std::string line) {
  if (line.compare(0, 7, "Error: ") == 0) line.erase(0, 7);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace nv
