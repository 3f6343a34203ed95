// Loading a folder's main.xml: read within its limits, parsed and its root
// checked, with the log's lines that say how the load ended.
#pragma once

#include <string>

#include "manifest/manifest_diagnostics.h"
#include "run/run_context.h"

class TiXmlDocument;

namespace nv {

// Reads folder + separator + "main.xml" into *text and parses it into
// *manifest, then ends the log's "Processing ... " line with "succeeded." or
// "failed", followed by the line of a limit the text passes, if any; the log
// is then published and a blank line added. Each failure is also reported to
// `diagnostics` (may be null); the system's reason for a manifest that could
// not be read is a note of the run. Whether the manifest loaded.
bool LoadManifest(const RunContext& run, const std::string& folder, std::string* text,
                  TiXmlDocument* manifest, ManifestDiagnostics* diagnostics);

}  // namespace nv
