// The elements and attributes the manifest rules read: those of
// validate_themes.cpp, which is what this list must follow.
#include "manifest/manifest_elements.h"

#include <algorithm>

namespace nv {

namespace {

using V = ValueKind;

const std::vector<ElementKind>& ElementKinds() {
  static const std::vector<ElementKind> kinds = {
      {"nuvarinepackage", nullptr, "as the document's first element, and only once", {}},
      {"theme",
       "nuvarinepackage",
       "directly in 'nuvarinepackage'",
       {{"name", V::kThemeName}, {"screenshot", V::kImage}}},
      {"templates", "theme", "directly in a 'theme'", {}},
      {"detail", "templates", "in 'templates'", {{"mode", V::kText}, {"file", V::kLayout}}},
      {"virtualshelf",
       "theme",
       "directly in a 'theme'",
       {{"background", V::kImage},
        {"uwidth", V::kSize},
        {"uheight", V::kSize},
        {"uhspace", V::kOffset},
        {"uvspace", V::kOffset}}},
      {"catalog",
       "virtualshelf",
       "in a 'virtualshelf'",
       {{"name", V::kText},
        {"image", V::kImage},
        {"olx", V::kOffset},
        {"oly", V::kOffset},
        {"olwidth", V::kSize},
        {"olheight", V::kSize}}},
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
