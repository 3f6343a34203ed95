// check --format=sarif: the findings as a SARIF 2.1.0 log, which code-scanning
// services and editors take up: one run of nvtheme, its rules, and a result
// for each diagnostic and each note that is a warning.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/folder_report.h"

namespace nv {

// The rule that every error of the log reports under: the rules of the
// manifest have no names of their own.
extern const char kManifestRuleId[];

void WriteSarifReport(std::ostream& out, const std::vector<FolderReport>& reports, int exitCode);

// A path as a URI reference, as SARIF locates files: separators as '/',
// each byte but letters, digits, "-._~" and '/' percent-encoded, and an
// absolute path as a file URI.
std::string PathUri(const std::string& path);

}  // namespace nv
