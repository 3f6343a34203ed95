// The files of a theme folder as an editor holds them: the unsaved text of
// each open document stands for the file's bytes, and everything else is
// the disk's. A check run on it tells what a build would say once the
// documents were saved.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/file_system_decorator.h"

namespace nv {

class EditedFiles : public FileSystemDecorator {
 public:
  // `texts`: the documents' bytes by path, as the paths are joined from
  // the folder (JoinPath).
  EditedFiles(FileSystem& disk, std::map<std::string, std::shared_ptr<const std::string>> texts)
      : FileSystemDecorator(disk), m_texts(std::move(texts)) {}

  bool PathExists(const std::string& path, std::string* err) override;
  bool IsReadableFile(const std::string& path, std::string* err) override;
  bool IsDevice(const std::string& path) override;
  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override;
  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                       std::string* err) override;
  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override;
  ListResult ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                         std::string* err) override;
  bool FileSize(const std::string& path, uint64_t* size, std::string* err) override;
  bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) override;

 private:
  const std::string* TextOf(const std::string& path) const;

  std::map<std::string, std::shared_ptr<const std::string>> m_texts;
};

}  // namespace nv
