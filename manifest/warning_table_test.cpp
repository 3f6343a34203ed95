// The table of warnings: each name once and found again, what each row says
// of its warning, and the reference's table, which tells each.
#include "manifest/warning_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "platform/file_system.h"
#include "run/build_notes.h"

namespace nv {
namespace {

TEST(WarningTableTest, EachOnceAndFoundAllOnButUnusedFile) {
  std::set<std::string> seen;
  for (const WarningName& warning : WarningNames()) {
    EXPECT_TRUE(seen.insert(warning.name).second) << warning.name;
    EXPECT_EQ(&warning, FindWarningName(warning.name));
    EXPECT_EQ(std::string(warning.name) != "unused-file", warning.defaultOn) << warning.name;
    // What breaks the package is an error by default.
    const bool breaks = std::string(warning.name) == "unpacked-reference" ||
                        std::string(warning.name) == "lost-content" ||
                        std::string(warning.name) == "broken-image";
    EXPECT_EQ(breaks ? Severity::kError : Severity::kWarning, warning.severity) << warning.name;
    EXPECT_NE(std::string(), warning.description) << warning.name;
  }
  EXPECT_EQ(nullptr, FindWarningName("unused"));
}

// The notes that are warnings carry these names; the rows told as build
// notes are theirs and no others.
TEST(WarningTableTest, BuildNotesAreTheRowsOfTheNotesNames) {
  std::set<std::string> notes;
  for (const WarningName& warning : WarningNames())
    if (warning.buildNote) notes.insert(warning.name);
  EXPECT_EQ((std::set<std::string>{kUnreadableFileWarning, kUnlistableFolderWarning,
                                   kOutsideLinkWarning}),
            notes);
}

// A row of the reference's table of warnings: whether it says the warning
// is off by default, then its cause and fix.
using ReferenceRow = std::tuple<bool, std::string, std::string>;

// The rows of the reference's table of warnings, by name.
std::map<std::string, ReferenceRow> ReferenceRows() {
  std::ifstream page(JoinPath(NV_DOCS_DIR, "MANIFEST.md"), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(page), {}};
  const size_t start = text.find("### Warnings");
  if (start == std::string::npos) {
    ADD_FAILURE() << "no table of warnings in MANIFEST.md";
    return {};
  }
  std::istringstream section(text.substr(start, text.find("\n## ", start) - start));
  std::map<std::string, ReferenceRow> rows;
  for (std::string line; std::getline(section, line);) {
    if (line.compare(0, 3, "| `") != 0) continue;
    const size_t end = line.find('`', 3);
    const std::string off = "` (off by default) |";
    // | name | example | cause | fix |
    std::vector<std::string> cells;
    for (size_t at = 2, bar; (bar = line.find(" | ", at)) != std::string::npos; at = bar + 3)
      cells.push_back(line.substr(bar + 3));
    for (std::string& cell : cells) cell = cell.substr(0, cell.find(" |"));
    rows[line.substr(3, end - 3)] = {line.compare(end, off.size(), off) == 0,
                                     cells.size() > 1 ? cells[1] : "",
                                     cells.size() > 2 ? cells[2] : ""};
  }
  return rows;
}

// A warning is documented in the reference: a row of its own, which says
// so when it is off by default and gives the cause and fix of the table's
// row, and no row for a warning that is gone.
TEST(WarningTableTest, TheReferenceHasARowForEachWarning) {
  std::map<std::string, ReferenceRow> rows;
  for (const WarningName& warning : WarningNames())
    rows[warning.name] = {!warning.defaultOn, warning.cause, warning.fix};
  EXPECT_EQ(rows, ReferenceRows());
}

}  // namespace
}  // namespace nv
