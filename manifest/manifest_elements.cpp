// The elements and attributes the manifest rules read: those of
// validate_themes.cpp, which is what this list must follow; and the words
// docs/MANIFEST.md gives them, which a test holds to these.
#include "manifest/manifest_elements.h"

#include <algorithm>

namespace nv {

namespace {

using V = ValueKind;

// The words of the reference's element table that several rows share.
const char kInteger[] = "an integer";
const char kReadAsInteger[] = "read as an integer";
const char kFileRead[] = "present; the file exists and can be read";
const char kThemeFails[] = "the theme fails";
const char kDetailUncounted[] = "this `detail` does not count";

AttributeKind Integer(const char* name, ValueKind value) {
  return {name, value, kInteger, kReadAsInteger, kThemeFails};
}

const std::vector<ElementKind>& ElementKinds() {
  static const char* const kNameWrong =
      "the theme fails; the rules check nothing else of it, but `check` notes what they would "
      "find once it is fixed";
  static const std::vector<ElementKind> kinds = {
      {"nuvarinepackage",
       nullptr,
       "as the document's first element, and only once",
       "the root; nothing else may be the first element",
       {}},
      {"theme",
       "nuvarinepackage",
       "directly in 'nuvarinepackage'",
       "one per theme; any number",
       {{"name", V::kThemeName, "text, at least 2 bytes", "present, long enough", kNameWrong},
        {"screenshot", V::kImage, "a file in the folder",
         "present, at least 2 bytes, the file exists and can be read", kNameWrong}}},
      {"templates", "theme", "directly in a 'theme'", "any number", {}},
      {"detail",
       "templates",
       "in 'templates'",
       "a layout template; any number",
       {{"mode", V::kText, "text (`grid`, `list`, ...)", "present", kDetailUncounted},
        {"file", V::kLayout, "a layout file in the folder",
         "present, the file exists and can be read", kDetailUncounted}}},
      {"virtualshelf",
       "theme",
       "directly in a 'theme'",
       "any number",
       {{"background", V::kImage, "an image in the folder", kFileRead,
         "missing attribute: the theme fails; missing file: this shelf does not count"},
        Integer("uwidth", V::kSize),
        Integer("uheight", V::kSize),
        Integer("uhspace", V::kOffset),
        Integer("uvspace", V::kOffset)}},
      {"catalog",
       "virtualshelf",
       "in a 'virtualshelf'",
       "a shelf's catalog; any number, optional",
       {{"name", V::kText, "text", "present", kThemeFails},
        {"image", V::kImage, "an image in the folder", kFileRead, kThemeFails},
        Integer("olx", V::kOffset),
        Integer("oly", V::kOffset),
        Integer("olwidth", V::kSize),
        Integer("olheight", V::kSize)}},
  };
  return kinds;
}

// Edits that turn one name into the other, a swap of neighbours counting as
// one: a typed name is often two letters the wrong way round.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

const ElementKind* FindElementKind(const std::string& name) {
  for (const ElementKind& kind : ElementKinds())
    if (name == kind.name) return &kind;
  return nullptr;
}

const AttributeKind* FindAttributeKind(const ElementKind& element, const std::string& name) {
  for (const AttributeKind& attribute : element.attributes)
    if (name == attribute.name) return &attribute;
  return nullptr;
}

std::vector<std::string> ElementKindNames() {
  std::vector<std::string> names;
  for (const ElementKind& kind : ElementKinds()) names.push_back(kind.name);
  return names;
}

std::vector<const ElementKind*> ChildKindsOf(const std::string& parent) {
  std::vector<const ElementKind*> children;
  for (const ElementKind& kind : ElementKinds())
    if (parent.empty() ? !kind.parent : kind.parent && parent == kind.parent)
      children.push_back(&kind);
  return children;
}

// A third of the candidate's letters may be wrong, and at least one: more,
// and a short name would be "near" to unrelated ones.
std::string NearestName(const std::string& name, const std::vector<std::string>& candidates,
                        size_t maxDistance) {
  std::string nearest;
  size_t best = SIZE_MAX;
  for (const std::string& candidate : candidates) {
    const size_t limit = std::min(maxDistance, std::max<size_t>(1, candidate.size() / 3));
    // Lengths that differ by more cannot be near, and a long name costs
    // nothing to pass over.
    if (name.size() > candidate.size() + limit || candidate.size() > name.size() + limit) continue;
    const size_t distance = EditDistance(name, candidate);
    if (distance <= limit && distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

}  // namespace nv
