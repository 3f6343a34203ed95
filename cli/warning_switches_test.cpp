// The warnings' switches and list: every row of the table of warnings is
// listed and switched by its name.
#include "cli/warning_switches.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace nv {
namespace {

// --list-warnings prints one line for each row of the table, in its order,
// and the bash completion offers -W the names it prints, and no others: a
// row missing here is a name the completion never offers.
TEST(WarningListTest, ALineForEachRowOfTheTable) {
  std::istringstream list(WarningList());
  std::vector<std::string> lines;
  for (std::string line; std::getline(list, line);) lines.push_back(line);
  ASSERT_EQ(WarningNames().size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const WarningName& warning = WarningNames()[i];
    std::istringstream line(lines[i]);
    std::string name, state, description;
    line >> name >> state >> std::ws;
    std::getline(line, description);
    EXPECT_EQ(warning.name, name);
    EXPECT_EQ(warning.defaultOn ? "on" : "off", state) << name;
    EXPECT_EQ(warning.description, description) << name;
  }
  EXPECT_EQ("malformed-xml         on   main.xml is not well-formed XML for a strict parser",
            lines.front());
  EXPECT_EQ("outside-link          on   a file that leads outside the folder through a link",
            lines.back());
}

// What the completion offers -W, NAME and no-NAME, each switches its
// warning; error=NAME makes it an error, and reported, no-error=NAME a
// warning again.
TEST(WarningListTest, EachRowIsSwitchedByItsName) {
  for (const WarningName& warning : WarningNames()) {
    std::set<std::string> on, errors;
    bool asErrors = false;
    std::string error;
    EXPECT_TRUE(SwitchWarning(warning.name, &on, &errors, &asErrors, &error)) << error;
    EXPECT_EQ(std::set<std::string>{warning.name}, on);
    EXPECT_TRUE(SwitchWarning(std::string("no-") + warning.name, &on, &errors, &asErrors, &error))
        << error;
    EXPECT_EQ(std::set<std::string>(), on);
    EXPECT_TRUE(
        SwitchWarning(std::string("error=") + warning.name, &on, &errors, &asErrors, &error));
    EXPECT_EQ(std::set<std::string>{warning.name}, errors);
    EXPECT_EQ(std::set<std::string>{warning.name}, on);
    EXPECT_TRUE(
        SwitchWarning(std::string("no-error=") + warning.name, &on, &errors, &asErrors, &error));
    EXPECT_EQ(std::set<std::string>(), errors);
    EXPECT_FALSE(asErrors);
  }
}

}  // namespace
}  // namespace nv
