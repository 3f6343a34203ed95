// The elements and attributes that the manifest rules read, where they read
// them, and what each attribute's value names, so that the warnings can tell
// what the rules pass over and how they read what they take.
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

struct AttributeKind {
  const char* name;
  ValueKind value;
};

struct ElementKind {
  const char* name;
  const char* parent;  // null for the root
  const char* place;   // where the rules read it, in words
  std::vector<AttributeKind> attributes;
};

// The kind of element of that name, letter case included, or null.
const ElementKind* FindElementKind(const std::string& name);

// The element's attribute of that name, or null.
const AttributeKind* FindAttributeKind(const ElementKind& element, const std::string& name);

// The names of every known element, in document order of a full manifest.
std::vector<std::string> ElementKindNames();

// The candidate nearest the name by edit distance (a letter added, dropped,
// changed, or two swapped), when it is close enough to be the name meant
// and no further than maxDistance; else empty.
std::string NearestName(const std::string& name, const std::vector<std::string>& candidates,
                        size_t maxDistance = SIZE_MAX);

}  // namespace nv
