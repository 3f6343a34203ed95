// Finds the elements that would cost the XML parser more than a manifest may
// ask of it, by a linear scan of the text that never parses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TiXmlDocument;

namespace nv {

// TinyXML parses each level of elements one call deeper, and checks each
// attribute it reads against every earlier one of the same element, so its
// stack grows with the depth and its time with the square of the attribute
// count. Past these limits a text is not parsed at all. The root element is
// level 1.
constexpr size_t kMaxNestingDepth = 256;
constexpr size_t kMaxAttributes = 256;

// The parser also builds a node of a hundred bytes and more for each element,
// attribute, text, comment or declaration, from as few as four bytes of text
// that compress a thousandfold. A text whose reader knows how many of each
// it can need caps them in all, so that the tree stays in proportion to what
// the text stands for; a manifest has no such count.
struct ParserLimits {
  size_t depth = kMaxNestingDepth;
  size_t attributes = kMaxAttributes;  // of one element
  size_t elements = SIZE_MAX;          // in all
  size_t allAttributes = SIZE_MAX;     // of all elements together
  size_t otherNodes = SIZE_MAX;        // texts, comments, declarations and the like
};

// The first element (or other node) that passes a limit: the offset of its
// first byte, and which.
struct ElementBeyondLimits {
  enum class Limit { kNone, kDepth, kAttributes, kElements, kAllAttributes, kOtherNodes };
  size_t offset = std::string::npos;
  Limit limit = Limit::kNone;
};

// Reads the text as TinyXML reads it (in both of the encodings it might
// choose) for the first element that opens a level beyond the depth limit,
// holds more attributes than allowed or passes a count in all, or the first
// other node beyond their count. It never finds fewer levels, attributes or
// nodes than the parser would build.
ElementBeyondLimits FindElementBeyondLimits(const std::string& text, ParserLimits limits = {});

// Parses the text as the scans read it, in the encoding TinyXML chooses:
// up to its first NUL, and never past it.
void ParseAsScanned(const std::string& text, TiXmlDocument* document);

}  // namespace nv
