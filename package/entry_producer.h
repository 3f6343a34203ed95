// Makes a package's file entries on worker threads, in index order, and
// hands them over in that order, so that the package is the same on any
// number of threads while every core is kept busy.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "package/entry_job.h"
#include "package/package_entry.h"
#include "package/task_sharing.h"

namespace nv {

class EntryProducer : public TaskSharing {
 public:
  // What the workers' files and blocks, the entries made ahead and the entry
  // being written hold at most, all told, on any number of workers.
  static constexpr uint64_t kDefaultBudget = uint64_t{256} << 20;

  // A file that needs more than `budget` alone raises it to what that file
  // needs: it is made while nothing else is held, never refused. The entry
  // of a job whose file is unchanged since the last build is taken from it
  // at once; each entry's memo is filled as wanted.
  // The jobs are the caller's, and outlive the producer.
  EntryProducer(FileSystem& fs, IZlib& zlib, const std::vector<EntryJob>& jobs, unsigned workers,
                uint64_t budget = kDefaultBudget, MemoWanted memo = {});
  // Stops the workers and waits for them; entries not taken are dropped.
  ~EntryProducer();
  EntryProducer(const EntryProducer&) = delete;
  EntryProducer& operator=(const EntryProducer&) = delete;

  // The entry of jobs[k], once made, taken in order: k = 0, 1, 2, ... What
  // making it threw is thrown here, on the taker's thread. The entry counts
  // against the budget until the next call: the taker lets go of it first.
  Entry Take(size_t k);

 private:
  enum class State : uint8_t { kWaiting, kStarted, kMade, kTaken };

  void StartWorkers(size_t count);
  void Work();
  bool NextWork(size_t* k, std::function<void()>* task);
  // Pieces of a large file's block, put where every worker takes work; the
  // worker that made them takes them too while it waits.
  void RunAll(std::vector<std::function<void()>>& tasks) override;
  void Finish(size_t k, Entry entry);
  uint64_t Cost(size_t k) const;

  FileSystem& m_fs;
  IZlib& m_zlib;
  const MemoWanted m_memo;
  const std::vector<EntryJob>& m_jobs;
  size_t m_cursor = 0;  // every job before it has started
  std::vector<State> m_state;
  size_t m_started = 0;  // jobs started and not made: pieces may still come from them
  std::deque<std::function<void()>> m_tasks;
  std::unordered_map<size_t, Entry> m_made;  // made and not yet taken
  uint64_t m_held = 0;   // bytes held for jobs started and entries not let go of
  uint64_t m_taken = 0;  // of those, the entry the taker holds
  uint64_t m_budget = 0;
  bool m_stop = false;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::thread> m_workers;
};

}  // namespace nv
