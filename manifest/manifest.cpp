// The manifest as the parser sees it.
#include "manifest/manifest.h"

#include <tinyxml.h>

#include "xml/parser_limits.h"

namespace nv {

void ParseManifest(const std::string& text, TiXmlDocument* manifest) {
  ParseAsScanned(text, manifest);
}

bool HasManifestRoot(const TiXmlDocument& manifest) {
  if (manifest.NoChildren()) return false;
  const TiXmlElement* root = manifest.FirstChildElement();
  return root && std::string(root->Value()) == "nuvarinepackage";
}

}  // namespace nv
