// Finds the elements that would cost the XML parser more than a manifest may
// ask of it, by a linear scan of the text that never parses it.
#pragma once

#include <cstddef>
#include <string>

namespace nv {

// TinyXML parses each level of elements one call deeper, and checks each
// attribute it reads against every earlier one of the same element, so its
// stack grows with the depth and its time with the square of the attribute
// count. Past these limits a text is not parsed at all. The root element is
// level 1.
constexpr size_t kMaxNestingDepth = 256;
constexpr size_t kMaxAttributes = 256;

struct ParserLimits {
  size_t depth = kMaxNestingDepth;
  size_t attributes = kMaxAttributes;  // of one element
};

// The first element that passes a limit: the offset of its "<", and which.
struct ElementBeyondLimits {
  enum class Limit { kNone, kDepth, kAttributes };
  size_t offset = std::string::npos;
  Limit limit = Limit::kNone;
};

// Reads the text as TinyXML reads it (in both of the encodings it might
// choose) for the first element that opens a level beyond the depth limit or
// holds more attributes than allowed. It never finds fewer levels or
// attributes than the parser would build.
ElementBeyondLimits FindElementBeyondLimits(const std::string& text, ParserLimits limits = {});

}  // namespace nv
