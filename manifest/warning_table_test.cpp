// The table of warnings: each name once and found again, and what each row
// says of its warning.
#include "manifest/warning_table.h"

#include <gtest/gtest.h>

#include <set>

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

}  // namespace
}  // namespace nv
