// The manifest as the parser sees it.
#include "build/manifest.h"

#include <tinyxml.h>

namespace nv {

void ParseManifest(const std::string& text, TiXmlDocument* manifest) {
  // The text ends at its first NUL, as the depth scan and the positions of
  // findings read it. TinyXML's UTF-8 reader steps over a whole multi-byte
  // sequence even when a NUL or the end comes inside it: a lead byte before
  // a NUL would carry the parse on into text that nothing scanned, however
  // deep it nests. Trailing NUL bytes keep those steps inside the buffer.
  std::string padded = text.substr(0, text.find('\0'));
  padded.append(4, '\0');
  manifest->Parse(padded.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
}

bool HasManifestRoot(const TiXmlDocument& manifest) {
  if (manifest.NoChildren()) return false;
  const TiXmlElement* root = manifest.FirstChildElement();
  return root && std::string(root->Value()) == "nuvarinepackage";
}

}  // namespace nv
