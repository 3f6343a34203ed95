// Making entries on worker threads.
//
// Files are started in index order, the order the writer writes them in,
// so that writing goes on beside compressing and nothing is left to write
// once the last block is made. A large file's block is made in pieces that
// every worker takes a share of, so no one file keeps a core to itself while
// the others idle. Entries made ahead of the one the writer waits for are
// held in memory, and one budget bounds all that is held, whatever the
// number of workers: a job starts only when it fits. The job the writer
// needs next always comes to fit once the jobs before it are taken, so the
// workers never wait on each other for good. An entry whose block is copied
// from the last package holds nothing.
#include "package/entry_producer.h"

#include <algorithm>

#include "package/reused_entry.h"

namespace nv {

EntryProducer::EntryProducer(FileSystem& fs, IZlib& zlib, const std::vector<EntryJob>& jobs,
                             unsigned workers, uint64_t budget, MemoWanted memo)
    : m_fs(fs), m_zlib(zlib), m_memo(memo), m_jobs(jobs), m_state(m_jobs.size(), State::kWaiting) {
  m_budget = budget;
  for (size_t k = 0; k < m_jobs.size(); ++k) m_budget = std::max(m_budget, Cost(k));
  // An unchanged file's entry is taken from the last package when it is
  // taken from here: nothing to make, nothing to hold meanwhile.
  for (size_t k = 0; k < m_jobs.size(); ++k)
    if (m_jobs[k].unchanged) m_state[k] = State::kMade;
  StartWorkers(std::min<size_t>(std::max(workers, 1u), m_jobs.size()));
}

// A system that grants fewer threads than asked for (a user at their limit)
// gets the work done on those it grants; one that grants none fails the run.
// Once a worker runs, nothing may be thrown from here: the destructor that
// stops it would not run.
void EntryProducer::StartWorkers(size_t count) {
  m_workers.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    try {
      m_workers.emplace_back([this] { Work(); });
    } catch (...) {
      if (!m_workers.empty()) return;
      throw;
    }
  }
}

EntryProducer::~EntryProducer() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  for (std::thread& worker : m_workers) worker.join();
}

// A file and the room the compressor takes for its block: the file's size
// and a thousandth more at worst, and a sample of 64 KiB. No file of 4 GiB or
// more is read.
uint64_t EntryProducer::Cost(size_t k) const {
  const uint64_t size = std::min<uint64_t>(m_jobs[k].size, UINT32_MAX);
  return 2 * size + size / 512 + (64 << 10);
}

Entry EntryProducer::Take(size_t k) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_held -= m_taken;  // the taker is done with the entry it took last
  m_taken = 0;
  m_changed.notify_all();  // a worker may now start it
  m_changed.wait(lock, [&] { return m_state[k] == State::kMade; });
  Entry entry;
  if (m_jobs[k].unchanged) {
    entry = TakenEntry(m_jobs[k]);
  } else {
    auto made = m_made.find(k);
    entry = std::move(made->second);
    m_made.erase(made);
  }
  m_state[k] = State::kTaken;
  m_taken = entry.block ? entry.record.storedSize : 0;
  lock.unlock();
  m_changed.notify_all();
  if (entry.thrown) std::rethrow_exception(entry.thrown);
  return entry;
}

void EntryProducer::Work() {
  size_t k = 0;
  std::function<void()> task;
  while (NextWork(&k, &task)) {
    if (task) {
      task();
      continue;
    }
    Entry entry;
    try {
      entry = TakeOrProduceEntry(m_fs, m_zlib, m_jobs[k], m_memo, this);
    } catch (...) {
      entry = Entry();
      entry.thrown = std::current_exception();
    }
    Finish(k, std::move(entry));
  }
}

// A piece to deflate, else a job to start. A worker with neither waits
// while a job is under way, whose pieces it may be needed for.
bool EntryProducer::NextWork(size_t* k, std::function<void()>* task) {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    *task = nullptr;
    if (m_stop) return false;
    if (!m_tasks.empty()) {
      *task = std::move(m_tasks.front());
      m_tasks.pop_front();
      return true;
    }
    while (m_cursor < m_jobs.size() && m_state[m_cursor] != State::kWaiting) ++m_cursor;
    if (m_cursor == m_jobs.size() && m_started == 0) return false;
    if (m_cursor < m_jobs.size() && m_held + Cost(m_cursor) <= m_budget) {
      *k = m_cursor;
      m_state[*k] = State::kStarted;
      m_held += Cost(*k);
      ++m_started;
      return true;
    }
    m_changed.wait(lock);
  }
}

void EntryProducer::RunAll(std::vector<std::function<void()>>& tasks) {
  size_t left = tasks.size();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (std::function<void()>& task : tasks) {
      m_tasks.push_back([this, &task, &left] {
        task();
        std::lock_guard<std::mutex> done(m_mutex);
        if (--left == 0) m_changed.notify_all();
      });
    }
  }
  m_changed.notify_all();
  std::unique_lock<std::mutex> lock(m_mutex);
  while (left > 0) {
    if (m_tasks.empty()) {
      m_changed.wait(lock);
      continue;
    }
    std::function<void()> task = std::move(m_tasks.front());
    m_tasks.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

void EntryProducer::Finish(size_t k, Entry entry) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held -= Cost(k);
    m_held += entry.block ? entry.record.storedSize : 0;  // until it is taken
    m_made[k] = std::move(entry);
    m_state[k] = State::kMade;
    --m_started;
  }
  m_changed.notify_all();
}

}  // namespace nv
