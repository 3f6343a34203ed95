// For tests: a fresh folder on the real disk, named after the running test
// and removed with everything in it. A random part in its name keeps two
// folders of one test, or two runs of the tests at once, apart.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/file_system.h"

namespace nv {

class TempFolder {
 public:
  TempFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string stem = "nv_fs_" + std::string(info ? info->name() : "test") + "_";
    std::random_device random;
    do {
      m_path =
          (std::filesystem::temp_directory_path() / (stem + std::to_string(random()))).string();
    } while (!std::filesystem::create_directory(m_path));
  }
  ~TempFolder() { std::filesystem::remove_all(m_path); }

  const std::string& Path() const { return m_path; }

  // Writes a file into the folder and gives its path.
  std::string Put(const std::string& name, const std::string& bytes) const {
    std::string path = JoinPath(m_path, name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

 private:
  std::string m_path;
};

}  // namespace nv
