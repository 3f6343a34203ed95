// check --format=json: every folder's outcome, themes, diagnostics and notes
// as one JSON document, for tools that read them by field.
#pragma once

#include <ostream>
#include <vector>

#include "cli/folder_report.h"
#include "cli/json_writer.h"

namespace nv {

// The document, its fields as the README lists them.
void WriteJsonReport(std::ostream& out, const std::vector<FolderReport>& reports,
                     bool warningsAsErrors, JsonLayout layout = JsonLayout::kIndented);

}  // namespace nv
