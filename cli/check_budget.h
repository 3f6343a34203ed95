// How long a check run as the author types may take, and whether it is still
// wanted: a newer edit or the editor's cancellation gives it up. The disk it
// reads through fails every call once the budget is spent, so that the run
// ends at its next read instead of finishing work nobody will see.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/file_system_decorator.h"

namespace nv {

class CheckBudget {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CheckBudget(Clock::duration time) : m_end(Clock::now() + time) {}

  void Cancel() { m_cancelled = true; }
  bool Cancelled() const { return m_cancelled; }
  bool TimedOut() const { return Clock::now() >= m_end; }
  bool Spent() const { return Cancelled() || TimedOut(); }

 private:
  const Clock::time_point m_end;
  std::atomic<bool> m_cancelled{false};
};

// The reason a call gives once the budget is spent.
constexpr char kCheckCutShort[] = "the check was cut short";

class BudgetedDisk : public FileSystemDecorator {
 public:
  BudgetedDisk(FileSystem& disk, const CheckBudget& budget)
      : FileSystemDecorator(disk), m_budget(budget) {}

  bool PathExists(const std::string& path, std::string* err) override;
  bool IsReadableFile(const std::string& path, std::string* err) override;
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
  bool Spent(std::string* err) const;

  const CheckBudget& m_budget;
};

}  // namespace nv
