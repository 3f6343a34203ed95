// For the tests of nvtheme's commands: a command run on an in-memory disk,
// and the example theme built, checked and unpacked on the real one.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/nvtheme.h"
#include "testing/memory_file_system.h"
#include "testing/sound_theme.h"
#include "testing/temp_folder.h"
#include "testing/sample_images.h"

namespace nv {

inline std::string Head(const std::string& folder) {
  return "\r\nProcessing " + folder + " ...\r\nProcessing " + JoinPath(folder, "main.xml") +
         " ... succeeded.\r\n\r\n";
}

namespace fsys = std::filesystem;

class NvthemeTest : public testing::Test {
 protected:
  // A theme folder with this manifest and the files a sound theme names,
  // each what its name says, so that a sound theme gives no warning.
  void AddFolder(const std::string& folder, const std::string& manifest) {
    fs.AddFolder(folder);
    fs.AddFile(JoinPath(folder, "main.xml"), manifest);
    for (const char* name : {"shot.png", "sand.png"})
      fs.AddFile(JoinPath(folder, name), SamplePng(4, 4));
    fs.AddFile(JoinPath(folder, "grid.xml"), "<layout/>");
  }

  // A file held open by another program, which a build leaves out, and a
  // link that leads outside the folder to `target`.
  void AddHeldFileAndOutsideLink(const std::string& held, const std::string& link,
                                 const std::string& target) {
    fs.AddFile(held, "x");
    fs.Hold(held);
    fs.AddFile(link, "x");
    fs.SetLinkTarget(link, target);
  }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunNvtheme(args, fs, out, err);
  }

  MemoryFileSystem fs;
  std::ostringstream out;
  std::ostringstream err;
};

inline void Replace(std::string* text, const std::string& from, const std::string& to) {
  const size_t at = text->find(from);
  ASSERT_NE(std::string::npos, at) << from;
  text->replace(at, from.size(), to);
}

// The example theme on the real disk: built, verified, unpacked and compared
// with its folder. Listing orders differ between systems; nothing here
// depends on one.
class RoundTripTest : public testing::Test {
 protected:
  RoundTripTest() { fsys::copy(fsys::path(NV_EXAMPLES_DIR) / "ocean", work / "ocean"); }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunNvtheme(args, RealFileSystem(), out, err, nullptr, cache);
  }

  // Each file of a folder by name, with its bytes.
  static std::map<std::string, std::string> Files(const fsys::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fsys::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
  }

  TempFolder temp;
  const fsys::path work = temp.Path();
  const std::string folder = (work / "ocean").string();
  CacheSettings cache;  // none
  std::ostringstream out;
  std::ostringstream err;
};

}  // namespace nv
