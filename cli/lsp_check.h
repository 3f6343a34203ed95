// A check of a theme folder as an editor holds it: what `nvtheme check`
// would say if the open documents were saved as they stand.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/check_budget.h"
#include "cli/folder_report.h"
#include "cli/lsp_text.h"

namespace nv {

class ImageVerdictCache;

// Checks `folder` with the default warnings, the documents' `texts` (by
// path, as JoinPath makes it from the folder) standing for their files;
// every disk call fails once `budget` is spent, and the report then counts
// for nothing. `verdicts` may be null.
FolderReport CheckEditedFolder(FileSystem& disk, const std::string& folder,
                               std::map<std::string, std::shared_ptr<const std::string>> texts,
                               const CheckBudget& budget, ImageVerdictCache* verdicts);

// The diagnostics of a check of `folder` with `texts` for its open
// documents, by path, as PublishedDiagnostics gives them. A document whose
// file on the disk is no UTF-8 (an editor shows it converted) is checked as
// the disk holds it, which is what a build reads, with a note saying so;
// a check cut short by time says so on the manifest instead. `uris` names
// the open documents' URIs by path; `cacheFolder`, where image verdicts are
// kept, may be empty.
std::map<std::string, nlohmann::json> CheckedDiagnostics(
    FileSystem& disk, const std::string& folder,
    std::map<std::string, std::shared_ptr<const std::string>> texts, const CheckBudget& budget,
    PositionEncoding encoding, const std::string& cacheFolder,
    const std::map<std::string, std::string>& uris);

}  // namespace nv
