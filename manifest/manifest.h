// The manifest as the parser sees it: parsed from memory, and its root checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TiXmlDocument;

namespace nv {

// The largest manifest a run reads. No real manifest comes near it; a larger
// one (a sparse file, one that keeps growing) is refused unread rather than
// held in memory whole and parsed into a tree many times its size.
constexpr uint64_t kMaxManifestBytes = uint64_t{256} << 20;

// Parses the manifest text; the parser's own errors are not consulted.
void ParseManifest(const std::string& text, TiXmlDocument* manifest);

// Whether the document's first element is "nuvarinepackage", letter case
// included.
bool HasManifestRoot(const TiXmlDocument& manifest);

// The values of the attributes that name a file (an image or a layout), of
// every element known by its name, in document order.
std::vector<std::string> NamedFiles(const TiXmlDocument& manifest);

}  // namespace nv
