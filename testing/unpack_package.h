// For tests: a package's files, read back through the package reader.
#pragma once

#include <map>
#include <string>

#include "package/package_reader.h"

namespace nv {

// The files of a package, by name, as the package reader gives them back
// after checking every byte; the first fault it finds, under the name "".
inline std::map<std::string, std::string> UnpackPackage(FileSystem& fs,
                                                        const std::string& package) {
  PackageReader reader;
  std::string fault;
  std::map<std::string, std::string> files;
  if (!reader.Open(fs, package, kPlatformNameRules, &fault)) return {{"", fault}};
  for (const PackedFile& file : reader.Files()) {
    std::string& content = files[file.name];
    ContentSink append = [&](const uint8_t* data, size_t size, std::string*) {
      content.append(reinterpret_cast<const char*>(data), size);
      return true;
    };
    if (!reader.ReadContent(file, append, &fault)) return {{"", fault}};
  }
  return files;
}

}  // namespace nv
