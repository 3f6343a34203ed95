// A disk that stops answering once a check's budget is spent.
#include "cli/check_budget.h"

namespace nv {

namespace {

// A file whose reads stop once the budget is spent: images are read in
// blocks, and a large one would otherwise be read to its end.
class BudgetedFile : public File {
 public:
  BudgetedFile(std::unique_ptr<File> file, const CheckBudget& budget)
      : m_file(std::move(file)), m_budget(budget) {}

  bool Read(void* buffer, size_t size, size_t* got, std::string* err) override {
    if (m_budget.Spent()) {
      *err = std::string("read: ") + kCheckCutShort;
      return false;
    }
    return m_file->Read(buffer, size, got, err);
  }
  bool Write(const void* data, size_t size, std::string* err) override {
    return m_file->Write(data, size, err);
  }
  bool Size(uint64_t* size, std::string* err) override { return m_file->Size(size, err); }
  bool Stamp(FileStamp* stamp, std::string* err) override { return m_file->Stamp(stamp, err); }
  bool Seek(uint64_t offset, std::string* err) override { return m_file->Seek(offset, err); }
  bool Truncate(uint64_t size, std::string* err) override { return m_file->Truncate(size, err); }
  bool Sync(std::string* err) override { return m_file->Sync(err); }
  bool Close(std::string* err) override { return m_file->Close(err); }
  bool IsPrivate(std::string* err) override { return m_file->IsPrivate(err); }

 private:
  std::unique_ptr<File> m_file;
  const CheckBudget& m_budget;
};

}  // namespace

bool BudgetedDisk::Spent(std::string* err) const {
  if (!m_budget.Spent()) return false;
  *err = kCheckCutShort;
  return true;
}

bool BudgetedDisk::PathExists(const std::string& path, std::string* err) {
  return !Spent(err) && Inner().PathExists(path, err);
}

bool BudgetedDisk::IsReadableFile(const std::string& path, std::string* err) {
  return !Spent(err) && Inner().IsReadableFile(path, err);
}

bool BudgetedDisk::LeadsOutside(const std::string& folder, const std::string& path,
                                std::string* target, std::string* err) {
  return !Spent(err) && Inner().LeadsOutside(folder, path, target, err);
}

std::unique_ptr<File> BudgetedDisk::OpenForReading(const std::string& path, Sharing sharing,
                                                   std::string* err) {
  if (Spent(err)) return nullptr;
  std::unique_ptr<File> file = Inner().OpenForReading(path, sharing, err);
  return file ? std::make_unique<BudgetedFile>(std::move(file), m_budget) : nullptr;
}

ListResult BudgetedDisk::ListFolder(const std::string& folder, std::vector<std::string>* names,
                                    std::string* err) {
  return Spent(err) ? ListResult::kNotStarted : Inner().ListFolder(folder, names, err);
}

ListResult BudgetedDisk::ListEntries(const std::string& folder, std::vector<ListedEntry>* entries,
                                     std::string* err) {
  return Spent(err) ? ListResult::kNotStarted : Inner().ListEntries(folder, entries, err);
}

bool BudgetedDisk::FileSize(const std::string& path, uint64_t* size, std::string* err) {
  return !Spent(err) && Inner().FileSize(path, size, err);
}

bool BudgetedDisk::Stamp(const std::string& path, FileStamp* stamp, std::string* err) {
  return !Spent(err) && Inner().Stamp(path, stamp, err);
}

}  // namespace nv
