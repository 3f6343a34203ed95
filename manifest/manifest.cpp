// The manifest as the parser sees it.
#include "manifest/manifest.h"

#include <tinyxml.h>

#include "manifest/manifest_elements.h"
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

namespace {

void AddNamedFiles(const TiXmlElement& element, std::vector<std::string>* names) {
  const ElementKind* kind = FindElementKind(element.Value());
  for (const TiXmlAttribute* a = element.FirstAttribute(); kind && a; a = a->Next()) {
    const AttributeKind* attribute = FindAttributeKind(*kind, a->Name());
    if (attribute &&
        (attribute->value == ValueKind::kImage || attribute->value == ValueKind::kLayout))
      names->push_back(a->Value());
  }
  for (const TiXmlElement* child = element.FirstChildElement(); child;
       child = child->NextSiblingElement())
    AddNamedFiles(*child, names);
}

}  // namespace

// The parser's depth limit bounds the recursion.
std::vector<std::string> NamedFiles(const TiXmlDocument& manifest) {
  std::vector<std::string> names;
  for (const TiXmlElement* e = manifest.FirstChildElement(); e; e = e->NextSiblingElement())
    AddNamedFiles(*e, &names);
  return names;
}

}  // namespace nv
