#include "cli/package_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"

namespace nv {
namespace {

TEST(PackageOfTest, NamesThePackageAfterTheFolderHoweverItIsSpelt) {
  const std::string sep(1, kPathSeparator);
  const std::string current = std::filesystem::current_path().string();
  const std::string parent = std::filesystem::current_path().parent_path().string();
  const std::pair<std::string, std::string> cases[] = {
      {"ocean", "ocean.nvp"},
      {"themes" + sep + "ocean" + sep, "themes" + sep + "ocean.nvp"},
      {"themes" + sep + "ocean" + sep + ".", "themes" + sep + "ocean.nvp"},
      {"themes" + sep + "ocean" + sep + ".." + sep, "themes.nvp"},
      {".", current + ".nvp"},
      {"..", parent + ".nvp"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, PackageOf(c.first)) << c.first;
}

}  // namespace
}  // namespace nv
