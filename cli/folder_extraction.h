// Unpacking a package's files into a folder as one change: every name is
// checked against the folder before anything is written, and an extraction
// that fails part-way is undone, leaving the folder as it was found.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "package/package_reader.h"
#include "platform/file_system.h"

namespace nv {

class FolderExtraction {
 public:
  FolderExtraction(FileSystem& fs, std::string folder) : m_fs(fs), m_folder(std::move(folder)) {}

  // Checks every name of the reader's files against the folder, and only
  // then creates the folder when it is missing and writes the files into
  // it, each created new under its own name, so that nothing already there
  // is ever written through. False with the first fault in words, the
  // folder then perhaps holding part of what was made, for Undo.
  bool Run(PackageReader& reader, std::string* fault);

  // Removes what a Run that failed, or threw, made: the files it created,
  // and the folder if it created it. What cannot be removed is named on
  // `err`, as left behind.
  void Undo(std::ostream& err);

 private:
  bool Start(const std::vector<PackedFile>& files, std::string* fault);
  bool Admits(const std::string& path, std::string* fault);
  bool Extract(PackageReader& reader, const PackedFile& file, std::string* fault);
  std::unique_ptr<File> Create(const std::string& target, std::string* fault);
  void Remove(const std::string& path, std::ostream& err);

  FileSystem& m_fs;
  const std::string m_folder;
  bool m_folderCreated = false;
  std::vector<std::string> m_created;  // files made under their own names
};

}  // namespace nv
