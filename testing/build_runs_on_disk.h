// For tests: build runs of theme folders on the real disk, and what they
// leave there, put in words to be compared whole.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "builder/theme_builder.h"
#include "package/build_cache.h"
#include "package/package_writer.h"
#include "platform/file_system.h"
#include "testing/recording_notes.h"
#include "testing/unpack_package.h"

namespace nv {
namespace on_disk {

const char kManifest[] =
    "<nuvarinepackage>\n"
    "  <theme name=\"Ocean\" screenshot=\"shot.png\">\n"
    "    <templates><detail mode=\"grid\" file=\"grid.xml\"/></templates>\n"
    "    <virtualshelf background=\"sand.png\" uwidth=\"1\" uheight=\"1\" uhspace=\"1\""
    " uvspace=\"1\"/>\n"
    "  </theme>\n"
    "</nuvarinepackage>\n";

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A sound theme folder, "ocean", in `parent`.
inline std::string MakeTheme(const std::string& parent) {
  const std::string folder = JoinPath(parent, "ocean");
  std::filesystem::create_directories(folder);
  WriteFile(JoinPath(folder, "main.xml"), kManifest);
  WriteFile(JoinPath(folder, "shot.png"), "shot");
  WriteFile(JoinPath(folder, "grid.xml"), "<layout/>");
  WriteFile(JoinPath(folder, "sand.png"), "sand");
  return folder;
}

struct RunOutcome {
  RunFlags flags;
  std::string log;
  std::vector<std::pair<std::string, std::string>> notes;  // path, text
};

// One build run of the folder, as nvtheme build runs it: into `package`
// (empty: beside the folder), with the build cache in `cacheFolder` (empty:
// none).
inline RunOutcome Build(const std::string& folder, FileSystem& fs = RealFileSystem(),
                        unsigned jobs = 1, const std::string& cacheFolder = {},
                        const std::string& package = {}) {
  ServiceRef<IZlib> zlib;
  KestCreateInstance(u"KestRTU.dll", u"IZlib", zlib.Put());
  SilentPublisher publisher;
  RecordingNotes notes;
  BuildCache cache(fs, cacheFolder, "nvtheme test", *zlib.get());
  BuildOptions options{false, nullptr, jobs, nullptr, &notes};
  if (!cacheFolder.empty()) options.cache = &cache;
  ThemeBuilder builder(fs, publisher, zlib.get(), options);
  RunFlags flags = builder.BuildFolder(folder, package);
  return RunOutcome{flags, builder.Log(), notes.notes};
}

// The log's last line, without its line end.
inline std::string LastLine(const std::string& log) {
  std::string text = log.substr(0, log.size() - (log.size() >= 2 ? 2 : 0));
  size_t end = text.rfind("\r\n");
  return end == std::string::npos ? text : text.substr(end + 2);
}

// The temporary files of the package that lie beside it, by name.
inline std::vector<std::string> Temporaries(const std::string& package) {
  const std::filesystem::path parent = std::filesystem::path(package).parent_path();
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(parent, error)) {
    const std::string name = entry.path().filename().string();
    if (IsTemporaryPackagePath(package, JoinPath(parent.string(), name))) names.push_back(name);
  }
  return names;
}

// What a build left, in words, to be compared whole: whether it succeeded,
// its last line, whether the last good package is as it was, and whether a
// temporary file stayed behind.
inline std::string Outcome(const RunOutcome& run, const std::string& package,
                           const std::string& lastGood) {
  return std::string(run.flags.Succeeded() ? "succeeded" : "failed") + "; " + LastLine(run.log) +
         "; last good package " + (ReadFile(package) == lastGood ? "kept" : "replaced") +
         "; temporary file " + (Temporaries(package).empty() ? "gone" : "left");
}

inline std::map<std::string, std::string> Unpack(const std::string& package) {
  return UnpackPackage(RealFileSystem(), package);
}

}  // namespace on_disk
}  // namespace nv
