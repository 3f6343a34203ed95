// The manifest as the parser sees it: parsed from memory, and its root checked.
#pragma once

#include <string>

class TiXmlDocument;

namespace nv {

// Parses the manifest text; the parser's own errors are not consulted.
void ParseManifest(const std::string& text, TiXmlDocument* manifest);

// Whether the document's first element is "nuvarinepackage", letter case
// included.
bool HasManifestRoot(const TiXmlDocument& manifest);

}  // namespace nv
