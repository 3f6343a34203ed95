// Finds elements nested deeper than the XML parser may safely recurse, by a
// linear scan of the text that never parses it.
#pragma once

#include <cstddef>
#include <string>

namespace nv {

// TinyXML parses each level of elements one call deeper; past this many
// levels a manifest is not parsed at all. The root element is level 1.
constexpr size_t kMaxNestingDepth = 256;

// The offset of the "<" of the first element that opens a level beyond
// `limit`, reading the text as TinyXML reads it (in both of the encodings it
// might choose), or std::string::npos when no element lies that deep. It
// never finds fewer levels than the parser would descend into.
size_t FindElementBeyondDepth(const std::string& text, size_t limit);

}  // namespace nv
