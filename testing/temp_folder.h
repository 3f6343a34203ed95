// For tests: a fresh folder on the real disk, named after the running test
// and removed with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_system.h"

namespace nv {

class TempFolder {
 public:
  TempFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    m_path =
        (std::filesystem::temp_directory_path() / ("nv_fs_" + std::string(info->name()))).string();
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
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
