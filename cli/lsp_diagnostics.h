// A check's findings as the protocol publishes them: for each file of the
// folder, its diagnostics with their ranges in that file's text.
#pragma once

#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/folder_report.h"
#include "cli/lsp_text.h"

namespace nv {

// The text of a file of the folder, as the editor shows it: an open
// document's buffer, else the disk's bytes; false when it cannot be read.
using TextOfFile = std::function<bool(const std::string& path, std::string* text)>;

// The diagnostics of each file that has any, by path: the report's
// findings, then its notes about the folder's files, which are told on the
// manifest.
std::map<std::string, nlohmann::json> PublishedDiagnostics(
    const FolderReport& report, const TextOfFile& textOf, PositionEncoding encoding,
    const std::function<std::string(const std::string& path)>& uriOf);

// One diagnostic at the start of a file, for what the check says of the
// whole folder (cut short, read from the disk's bytes).
nlohmann::json FileDiagnostic(int severity, const std::string& message);

// The end of the token that begins at `offset`: a tag's name with its "<"
// or "</", an attribute with its quoted value, a name, or one character.
size_t TokenEnd(const std::string& text, size_t offset);

}  // namespace nv
