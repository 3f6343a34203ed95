// The manifest as the parser sees it.
#include "build/manifest.h"

#include <tinyxml.h>

namespace nv {

void ParseManifest(const std::string& text, TiXmlDocument* manifest) {
  // TinyXML's UTF-8 reader steps over a whole multi-byte sequence even when
  // the text ends inside it, up to three bytes past the end. Trailing NUL
  // bytes keep those reads inside the buffer, and the first one ends the
  // parse just as the end of the text would.
  std::string padded = text;
  padded.append(4, '\0');
  manifest->Parse(padded.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
}

bool HasManifestRoot(const TiXmlDocument& manifest) {
  if (manifest.NoChildren()) return false;
  const TiXmlElement* root = manifest.FirstChildElement();
  return root && std::string(root->Value()) == "nuvarinepackage";
}

}  // namespace nv
