// The elements and attributes that the manifest rules read, where they read
// them, and what each attribute's value names, so that the warnings can tell
// what the rules pass over and how they read what they take; with the words
// of the manifest reference for each, which an editor shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nv {

// What an attribute's value is to the rules.
enum class ValueKind {
  kText,       // any text
  kThemeName,  // a theme's name, which tells it from the others
  kImage,      // a file shown as an image
  kLayout,     // a file read as a layout
  kOffset,     // an integer
  kSize,       // an integer that is a width or height
};

// An attribute, and its row of the element table of docs/MANIFEST.md.
struct AttributeKind {
  const char* name;
  ValueKind value;
  const char* valueText;  // what the value is, in words
  const char* checked;    // what the rules check of it
  const char* whenWrong;  // what becomes of the element or its theme
  bool required = true;   // whether the rules need it
};

struct ElementKind {
  const char* name;
  const char* parent;       // null for the root
  const char* place;        // where the rules read it, in words
  const char* description;  // what it is and how many, as the reference's tree says
  std::vector<AttributeKind> attributes;
};

// The kind of element of that name, letter case included, or null.
const ElementKind* FindElementKind(const std::string& name);

// The element's attribute of that name, or null.
const AttributeKind* FindAttributeKind(const ElementKind& element, const std::string& name);

// The names of every known element, in document order of a full manifest.
std::vector<std::string> ElementKindNames();

// The kinds of element the rules read directly in `parent` (empty: at the
// top of the document), in document order.
std::vector<const ElementKind*> ChildKindsOf(const std::string& parent);

// The candidate nearest the name by edit distance (a letter added, dropped,
// changed, or two swapped), when it is close enough to be the name meant
// and no further than maxDistance; else empty.
std::string NearestName(const std::string& name, const std::vector<std::string>& candidates,
                        size_t maxDistance = SIZE_MAX);

}  // namespace nv
