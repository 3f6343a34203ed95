// Warnings about the mistakes that pass the manifest rules: a file the
// package will lack or that only one platform finds, an element or value the
// rules pass over or read otherwise than written, a file that is no image or
// layout, debris or names that would be packed. They are an output of their
// own: the operation log, the verdicts and the package stay as they are.
#pragma once

#include <string>
#include <vector>

#include "manifest/diagnostic.h"
#include "manifest/image_reference.h"
#include "manifest/warning_options.h"
#include "platform/file_system.h"

class TiXmlDocument;

namespace nv {

// The warnings about a folder whose manifest loaded (its root checked):
// those about the manifest in document order, then those about the folder's
// files by name, so that they come in one order on every system. `folder` is as typed, `text` the
// manifest's text as read and `manifest` the document parsed from it. A file that cannot be read,
// or a listing cut short, is no warning of its own (the build's notes tell of them); what depends
// on it is not judged. `images`, where given, receives each reference to a packed image with what
// its file holds.
std::vector<Diagnostic> ManifestWarnings(FileSystem& fs, const std::string& folder,
                                         const std::string& text, const TiXmlDocument& manifest,
                                         const WarningOptions& options = {},
                                         std::vector<ImageReference>* images = nullptr);

// Whether the warning tells again what one of the rules' errors says of the
// same reference: a name in another letter case than its file's is a
// missing file where letter case counts, and that error's note names the
// file the folder holds.
bool RestatesError(const std::vector<Diagnostic>& errors, const Diagnostic& warning);

}  // namespace nv
