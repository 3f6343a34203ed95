// Making entries on worker threads.
//
// Largest files first keeps a big file from starting last while the other
// cores idle. Entries must still be written in index order, so those made
// ahead of the one the writer waits for are held in memory. One budget
// bounds all that is held, whatever the number of workers: a job starts
// ahead of the writer only when it fits with room left for the largest job
// still waiting. Whichever job the writer comes to need then fits once the
// jobs in progress are done, so the workers never wait on each other for
// good. When the largest does not fit, a worker takes the next job in index
// order instead, and waits only when that does not fit either. An entry
// whose block is copied from the last package holds nothing.
#include "package/entry_producer.h"

#include <algorithm>

#include "package/reused_entry.h"

namespace nv {

EntryProducer::EntryProducer(FileSystem& fs, IZlib& zlib, std::vector<EntryJob> jobs,
                             unsigned workers, uint64_t budget, MemoWanted memo)
    : m_fs(fs),
      m_zlib(zlib),
      m_memo(memo),
      m_jobs(std::move(jobs)),
      m_state(m_jobs.size(), State::kWaiting),
      m_entries(m_jobs.size()) {
  for (size_t k = 0; k < m_jobs.size(); ++k) m_largestFirst.push_back(k);
  std::stable_sort(m_largestFirst.begin(), m_largestFirst.end(),
                   [&](size_t a, size_t b) { return m_jobs[a].size > m_jobs[b].size; });
  m_budget = m_jobs.empty() ? budget : std::max(budget, Cost(m_largestFirst.front()));
  for (size_t k = 0; k < m_jobs.size(); ++k) {
    if (!m_jobs[k].unchanged) continue;
    m_entries[k] = TakenEntry(m_jobs[k]);
    m_state[k] = State::kMade;
  }
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
  m_next = k;
  m_changed.notify_all();  // a worker may now start it
  m_changed.wait(lock, [&] { return m_state[k] == State::kMade; });
  Entry entry = std::move(m_entries[k]);
  m_state[k] = State::kTaken;
  m_taken = entry.block ? entry.record.storedSize : 0;
  m_next = k + 1;
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
    while (m_cursor < m_largestFirst.size() && m_state[m_largestFirst[m_cursor]] != State::kWaiting)
      ++m_cursor;
    if (m_cursor == m_largestFirst.size() && m_started == 0) return false;
    if (m_cursor < m_largestFirst.size() && Pick(k)) {
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

// The largest job waiting, when it fits with room left for the next
// largest; else the first job waiting in index order, when it fits. That
// one the writer is about to need, so a worker that finds the budget too
// full for the largest still keeps the writer going, and its entry is let
// go of soon. It never passes over the job the writer waits for, which
// would be the first waiting.
bool EntryProducer::Pick(size_t* k) {
  const size_t largest = m_largestFirst[m_cursor];
  if (m_held + Cost(largest) + NextLargestWaitingCost() <= m_budget) {
    *k = largest;
    return true;
  }
  m_inOrder = std::max(m_inOrder, m_next);
  while (m_inOrder < m_jobs.size() && m_state[m_inOrder] != State::kWaiting) ++m_inOrder;
  if (m_inOrder < m_jobs.size() && m_held + Cost(m_inOrder) <= m_budget) {
    *k = m_inOrder;
    return true;
  }
  return false;
}

// The cost of the largest job waiting after the one at m_cursor, or 0. Jobs
// never wait again once started, so the search goes on from where it ended.
uint64_t EntryProducer::NextLargestWaitingCost() {
  m_second = std::max(m_second, m_cursor + 1);
  while (m_second < m_largestFirst.size() && m_state[m_largestFirst[m_second]] != State::kWaiting)
    ++m_second;
  return m_second < m_largestFirst.size() ? Cost(m_largestFirst[m_second]) : 0;
}

void EntryProducer::Finish(size_t k, Entry entry) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held -= Cost(k);
    m_held += entry.block ? entry.record.storedSize : 0;  // until it is taken
    m_entries[k] = std::move(entry);
    m_state[k] = State::kMade;
    --m_started;
  }
  m_changed.notify_all();
}

}  // namespace nv
