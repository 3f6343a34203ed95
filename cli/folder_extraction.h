// Unpacking a package's files into a folder as one change: every name is
// checked against the folder before anything is written, and an extraction
// that fails part-way is undone, leaving the folder as it was found.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "package/package_reader.h"
#include "platform/file_system.h"

namespace nv {

// What becomes of a packed file's name that is already in the folder.
enum class ExistingFiles {
  kRefuse,   // nothing is extracted
  kReplace,  // the file there is replaced, once every new file is whole
};

class FolderExtraction {
 public:
  FolderExtraction(FileSystem& fs, std::string folder, ExistingFiles existing)
      : m_fs(fs), m_folder(std::move(folder)), m_existing(existing) {}

  // Checks every name of the reader's files against the folder, and only
  // then creates the folder when it is missing and writes the files into
  // it. Each file is created new: when nothing may be replaced, under its
  // own name, so that nothing already there is ever written through; else
  // under a temporary name beside it, moved over its name only once all the
  // files are whole. False with the first fault in words (an interruption,
  // when they are deferred, among them), the folder then perhaps holding
  // part of what was made, for Undo.
  bool Run(PackageReader& reader, std::string* fault);

  // Removes what a Run that failed, or threw, made: the files it created,
  // its temporary files, and the folder if it created it. What cannot be
  // removed is named on `err`, as left behind.
  void Undo(std::ostream& err);

 private:
  // A file written under a temporary name, to be moved over `target`.
  struct Staged {
    std::string temporary;
    std::string target;
  };

  bool Start(const std::vector<PackedFile>& files, std::string* fault);
  bool Admits(const std::string& path, std::string* fault);
  bool Extract(PackageReader& reader, const PackedFile& file, std::string* fault);
  std::unique_ptr<File> Create(const std::string& target, std::string* fault);
  std::unique_ptr<File> CreateTemporary(const std::string& target, std::string* fault);
  bool MoveIntoPlace(std::string* fault);
  void Remove(const std::string& path, std::ostream& err);

  FileSystem& m_fs;
  const std::string m_folder;
  const ExistingFiles m_existing;
  bool m_folderCreated = false;
  std::set<std::string> m_replaced;    // the paths of files there before, to be replaced
  std::vector<std::string> m_created;  // files made under their own names
  std::vector<Staged> m_staged;
  size_t m_moved = 0;  // how many of m_staged are in place
};

}  // namespace nv
