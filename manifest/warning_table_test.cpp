// The table of warnings: each name once and found again, and what each row
// says of its warning.
#include "manifest/warning_table.h"

#include <gtest/gtest.h>

#include <set>

#include "run/build_notes.h"

namespace nv {
namespace {

TEST(WarningTableTest, EachOnceAndFoundAllOnButUnusedFile) {
  std::set<std::string> seen;
  for (const WarningName& warning : WarningNames()) {
    EXPECT_TRUE(seen.insert(warning.name).second) << warning.name;
    EXPECT_EQ(&warning, FindWarningName(warning.name));
    EXPECT_EQ(std::string(warning.name) != "unused-file", warning.defaultOn) << warning.name;
    EXPECT_EQ(Severity::kWarning, warning.severity) << warning.name;
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

}  // namespace
}  // namespace nv
