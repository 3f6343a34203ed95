// The warnings pass: the manifest's text, its elements, the files they name
// and the folder's files, each checked in a file of its own.
#include "manifest/manifest_warnings.h"

#include <tinyxml.h>

#include <algorithm>

#include "manifest/strict_xml.h"
#include "manifest/warning_run.h"

namespace nv {

namespace {

// TinyXML reads past faults that a strict reader stops at.
void CheckWellFormed(const std::string& text, WarningRun* run) {
  XmlFault fault;
  if (IsWellFormedXml(text, &fault)) return;
  run->Warn("malformed-xml", fault.at, "main.xml is not well-formed XML: " + fault.reason,
            {"the builder reads it, but a strict reader (the media application may be one) "
             "refuses this file"});
}

}  // namespace

// Those about the manifest are put in document order: the strict parser's
// fault stands among the elements' warnings where it is in the text.
std::vector<Diagnostic> ManifestWarnings(FileSystem& fs, const std::string& folder,
                                         const std::string& text, const TiXmlDocument& manifest,
                                         const WarningOptions& options,
                                         std::vector<ImageReference>* images) {
  WarningRun run(fs, folder, text, manifest, options);
  CheckWellFormed(text, &run);
  CheckElements(manifest, &run);
  CheckImages(&run);
  CheckLostThemes(text, manifest, &run);
  std::stable_sort(
      run.warnings.begin(), run.warnings.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return std::make_pair(a.at.line, a.at.column) < std::make_pair(b.at.line, b.at.column);
      });
  CheckFolderFiles(&run);
  if (images) *images = std::move(run.images);
  return std::move(run.warnings);
}

}  // namespace nv
