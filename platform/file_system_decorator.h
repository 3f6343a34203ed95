// A FileSystem that passes every call on to another, for those that change
// what a few calls answer and leave the rest to the disk behind them.
#pragma once

#include "platform/file_system.h"

namespace nv {

class FileSystemDecorator : public FileSystem {
 public:
  explicit FileSystemDecorator(FileSystem& inner) : m_inner(inner) {}

  bool PathExists(const std::string& path, std::string* err) override {
    return m_inner.PathExists(path, err);
  }
  bool IsReadableFile(const std::string& path, std::string* err) override {
    return m_inner.IsReadableFile(path, err);
  }
  bool IsDevice(const std::string& path) override { return m_inner.IsDevice(path); }
  bool LeadsOutside(const std::string& folder, const std::string& path, std::string* target,
                    std::string* err) override {
    return m_inner.LeadsOutside(folder, path, target, err);
  }
  std::unique_ptr<File> OpenForReading(const std::string& path, Sharing sharing,
                                       std::string* err) override {
    return m_inner.OpenForReading(path, sharing, err);
  }
  std::unique_ptr<File> CreateForWriting(const std::string& path, std::string* err) override {
    return m_inner.CreateForWriting(path, err);
  }
  std::unique_ptr<File> CreateNew(const std::string& path, std::string* err) override {
    return m_inner.CreateNew(path, err);
  }
  ListResult ListFolder(const std::string& folder, std::vector<std::string>* names,
                        std::string* err) override {
    return m_inner.ListFolder(folder, names, err);
  }
  ListResult ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                         std::string* err) override {
    return m_inner.ListEntries(folder, entries, err);
  }
  bool CreateFolder(const std::string& path, std::string* err) override {
    return m_inner.CreateFolder(path, err);
  }
  bool CreatePrivateFolder(const std::string& path, std::string* err) override {
    return m_inner.CreatePrivateFolder(path, err);
  }
  std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::string* err) override {
    return m_inner.CreatePrivateFile(path, err);
  }
  bool MoveOver(const std::string& from, const std::string& to, std::string* err) override {
    return m_inner.MoveOver(from, to, err);
  }
  bool SyncFolderOf(const std::string& path, std::string* err) override {
    return m_inner.SyncFolderOf(path, err);
  }
  bool RemoveFile(const std::string& path, std::string* err) override {
    return m_inner.RemoveFile(path, err);
  }
  bool RemoveFolder(const std::string& path, std::string* err) override {
    return m_inner.RemoveFolder(path, err);
  }
  bool Identify(const std::string& path, FileIdentity* id, std::string* err) override {
    return m_inner.Identify(path, id, err);
  }
  bool FileSize(const std::string& path, uint64_t* size, std::string* err) override {
    return m_inner.FileSize(path, size, err);
  }
  bool Stamp(const std::string& path, FileStamp* stamp, std::string* err) override {
    return m_inner.Stamp(path, stamp, err);
  }
  bool FullPath(const std::string& path, std::string* full, std::string* err) override {
    return m_inner.FullPath(path, full, err);
  }
  bool IsPrivate(const std::string& path, std::string* err) override {
    return m_inner.IsPrivate(path, err);
  }

 protected:
  FileSystem& Inner() { return m_inner; }

 private:
  FileSystem& m_inner;
};

}  // namespace nv
