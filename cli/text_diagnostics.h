// Diagnostics as people read them on standard error after a folder's log:
// each under its place, with the line of the manifest it points into and a
// caret under the fault, as compilers show them, coloured on request.
#pragma once

#include <ostream>
#include <string>

#include "cli/folder_report.h"

namespace nv {

// A line of source as it stands under a diagnostic: the text shown, and the
// marker line under it.
struct SourceExcerpt {
  std::string text;
  std::string marker;
};

// `line` (its bytes, without line end) shown with a caret under the byte
// at `column` (from 1). A column that is a quoted value's first byte is
// underlined up to the closing quote. A line too long for a terminal is
// cut around the column, with "..." where it is cut; control bytes and
// bytes that are no part of valid UTF-8 are shown as \xHH, and a tab as
// the spaces to the next tab stop.
SourceExcerpt ExcerptOf(const std::string& line, size_t column);

// The report's diagnostics, each followed by the line of `manifest` (its
// text as the run read it; null when it could not be read) that it points
// into, and by its notes. A diagnostic about a file other than the
// manifest is about the whole file: FILE: SEVERITY: MESSAGE.
void WriteTextDiagnostics(std::ostream& out, const FolderReport& report,
                          const std::string* manifest, bool colour);

}  // namespace nv
