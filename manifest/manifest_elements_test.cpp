// The element table held to the manifest reference, docs/MANIFEST.md: its
// tree of elements and its table of attributes say what the table says,
// word for word, so that an editor shows what the reference tells.
#include "manifest/manifest_elements.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "platform/file_system.h"

namespace nv {
namespace {

std::string Section(const std::string& heading) {
  std::ifstream page(JoinPath(NV_DOCS_DIR, "MANIFEST.md"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(page), {}};
  const size_t start = text.find("\n## " + heading + "\n");
  EXPECT_NE(std::string::npos, start) << heading;
  return start == std::string::npos ? ""
                                    : text.substr(start, text.find("\n## ", start + 1) - start);
}

std::string Trimmed(const std::string& text) {
  const size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? ""
                                    : text.substr(start, text.find_last_not_of(' ') - start + 1);
}

// An element of the tree: its name, its parent's ("" for the root), and
// what the tree says of it.
using TreeEntry = std::tuple<std::string, std::string, std::string>;

// The tree is the section's first block, two spaces a level.
std::vector<TreeEntry> ReferenceTree(const std::string& section) {
  const size_t start = section.find("```\n") + 4;
  std::istringstream block(section.substr(start, section.find("```", start) - start));
  std::vector<TreeEntry> tree;
  std::vector<std::string> path;
  for (std::string line; std::getline(block, line);) {
    const size_t indent = line.find_first_not_of(' ');
    const size_t nameEnd = line.find(' ', indent);
    path.resize(indent / 2);
    tree.emplace_back(line.substr(indent, nameEnd - indent), path.empty() ? "" : path.back(),
                      Trimmed(line.substr(nameEnd)));
    path.push_back(std::get<0>(tree.back()));
  }
  return tree;
}

// A row of attributes: element, attribute, required, value, checked, when
// it is wrong.
using AttributeRow =
    std::tuple<std::string, std::string, std::string, std::string, std::string, std::string>;

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  for (size_t at = 2, bar; (bar = line.find(" | ", at)) != std::string::npos; at = bar + 3)
    cells.push_back(line.substr(at, bar - at));
  cells.push_back(line.substr(line.rfind(" | ") + 3, line.size() - line.rfind(" | ") - 5));
  return cells;
}

std::vector<std::string> Quoted(const std::string& cell) {
  std::vector<std::string> names;
  for (size_t at = cell.find('`'); at != std::string::npos; at = cell.find('`', at + 1)) {
    const size_t end = cell.find('`', at + 1);
    names.push_back(cell.substr(at + 1, end - at - 1));
    at = end;
  }
  return names;
}

// A row whose last cell is "as for `name`" says what that attribute's row
// says, which the table holds in full.
std::vector<AttributeRow> ReferenceAttributes(const std::string& section) {
  std::istringstream lines(section);
  std::vector<AttributeRow> rows;
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, 3, "| `") != 0) continue;
    std::vector<std::string> c = Cells(line);
    if (c.size() != 6) ADD_FAILURE() << line;
    if (c.size() != 6) continue;
    for (const AttributeRow& row : rows)
      if (c[5] == "as for `" + std::get<1>(row) + "`" && std::get<0>(row) == Quoted(c[0])[0])
        c[5] = std::get<5>(row);
    for (const std::string& name : Quoted(c[1]))
      rows.emplace_back(Quoted(c[0])[0], name, c[2], c[3], c[4], c[5]);
  }
  return rows;
}

TEST(ManifestElementsTest, TheReferenceTreeIsTheTable) {
  std::vector<TreeEntry> table;
  for (const std::string& name : ElementKindNames()) {
    const ElementKind& kind = *FindElementKind(name);
    table.emplace_back(name, kind.parent ? kind.parent : "", kind.description);
  }
  EXPECT_EQ(table, ReferenceTree(Section("`main.xml`, element by element")));
}

TEST(ManifestElementsTest, TheReferenceAttributesAreTheTable) {
  std::vector<AttributeRow> table;
  for (const std::string& name : ElementKindNames())
    for (const AttributeKind& a : FindElementKind(name)->attributes)
      table.emplace_back(name, a.name, a.required ? "yes" : "no", a.valueText, a.checked,
                         a.whenWrong);
  EXPECT_EQ(table, ReferenceAttributes(Section("`main.xml`, element by element")));
}

}  // namespace
}  // namespace nv
