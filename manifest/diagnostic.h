// A finding about a place in a theme folder, as tools that take an editor
// there report it: an error of the operation log, a warning, or a note.
#pragma once

#include <string>
#include <vector>

#include "xml/text_position.h"

namespace nv {

enum class Severity { kError, kWarning, kNote };

struct Diagnostic {
  Severity severity = Severity::kError;
  // The stable name, as -W takes it ("case-mismatch"); empty for the log's
  // errors, which cannot be turned off.
  std::string name;
  // The manifest's path as the log writes it (folder + separator +
  // "main.xml"), or the path of the file concerned.
  std::string file;
  TextPosition at;                 // 1:1 when the finding is about a whole file
  std::string message;             // one line, without the severity
  std::vector<std::string> notes;  // further lines: why, and what to do
};

}  // namespace nv
