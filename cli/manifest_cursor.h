// Where a place stands in the text of a manifest or a layout as an editor
// holds it, half typed or broken: in a tag's name, an attribute's name or
// value, or between tags, and inside which elements; and the elements the
// text holds, with their spans and attributes. One pass over the text,
// whatever it holds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nv {

constexpr size_t kNoIndex = static_cast<size_t>(-1);

// Bytes [begin, end) of the text.
struct TextSpan {
  size_t begin = 0;
  size_t end = 0;

  // Whether a cursor at `offset` touches it: at its start, inside, or
  // right after it, as one stands typing a word.
  bool Touches(size_t offset) const { return begin <= offset && offset <= end; }
  bool operator==(const TextSpan& o) const { return begin == o.begin && end == o.end; }
};

struct ScannedAttribute {
  std::string name;
  TextSpan nameSpan;
  bool hasValue = false;  // an '=' follows the name
  bool quoted = false;    // the value opens with a quote
  char quote = '"';
  std::string value;   // with XML's entities and character references read
  TextSpan valueSpan;  // inside the quotes, or where a value would stand
};

struct ScannedElement {
  std::string name;
  TextSpan nameSpan;  // in the start tag
  // From the start tag's '<' to the end of its end tag; an element left
  // open ends where an outer one's end tag, or the text, ends it.
  TextSpan whole;
  bool hasEndTag = false;
  TextSpan endNameSpan;  // in the end tag, when it has one
  std::vector<ScannedAttribute> attributes;
  size_t parent = kNoIndex;
  std::vector<size_t> children;

  const ScannedAttribute* Attribute(const std::string& name) const;
};

enum class CursorPlace {
  kText,            // between tags, where an element may start
  kElementName,     // a start tag's name, "<" alone included
  kEndTagName,      // an end tag's name, "</" alone included
  kAttributeName,   // an attribute's name, or a blank in a start tag
  kAttributeValue,  // an attribute's value
  kElsewhere,       // a comment, CDATA, a processing instruction, a tag's "/>"
};

struct Cursor {
  CursorPlace place = CursorPlace::kText;
  size_t element = kNoIndex;    // whose tag the cursor is in
  size_t attribute = kNoIndex;  // of that element, for a name or value
  TextSpan word;                // what is typed there so far, which a completion replaces
  std::vector<size_t> open;     // the elements open around the place, outermost first
};

struct ScannedText {
  std::vector<ScannedElement> elements;  // in the order their start tags stand
  Cursor cursor;                         // where the offset asked about stands
};

// Reads the text as far as XML can be made of it, and tells where the byte
// offset `cursor` stands (none asked: kNoIndex). A start tag broken off by
// another '<' or by the text's end is an element without content; an end
// tag closes the innermost open element of its name and all opened inside
// it, and one that matches none is passed over.
ScannedText ScanText(const std::string& text, size_t cursor = kNoIndex);

}  // namespace nv
