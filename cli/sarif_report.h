// check --format=sarif: the findings as a SARIF 2.1.0 log, which code-scanning
// services and editors take up: one run of nvtheme, its rules, and a result
// for each diagnostic and each note that is a warning.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/folder_report.h"
#include "cli/json_writer.h"
#include "platform/file_system.h"

namespace nv {

// The rule that every error of the log reports under: the rules of the
// manifest have no names of their own.
extern const char kManifestRuleId[];

// Columns are counted in code points, as SARIF counts them by default: each
// diagnostic's line is read again from its file through `fs` to count them.
void WriteSarifReport(std::ostream& out, FileSystem& fs, const std::vector<FolderReport>& reports,
                      int exitCode, JsonLayout layout = JsonLayout::kIndented);

// The column of the byte at `at` in `text`, counted in code points: each
// valid UTF-8 sequence before it on its line is one, and so is each byte
// that is no part of one.
size_t CodePointColumn(const std::string& text, const TextPosition& at);

// A path as a URI reference, as SARIF locates files: separators as '/',
// each byte but letters, digits, "-._~" and '/' percent-encoded, and an
// absolute path as a file URI.
std::string PathUri(const std::string& path);

}  // namespace nv
