// What reaches the language server's one working thread, in order: the
// client's messages, read on a thread of their own, and the ends of checks
// and folder changes, which other threads hand over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace nv {

struct LspEvent {
  enum class Kind {
    kMessage,        // `text`: a message's body
    kNote,           // `text`: what to tell on the log, such as why a message
                     // could not be read
    kEnd,            // the client's stream ended
    kChecked,        // a check of `folder` at `generation` ended: `diagnostics` by path
    kFolderChanged,  // a file of `folder` changed on the disk
  };
  Kind kind = Kind::kEnd;
  std::string text;
  std::string folder;
  uint64_t generation = 0;
  std::map<std::string, nlohmann::json> diagnostics;
};

class LspInbox {
 public:
  using Clock = std::chrono::steady_clock;

  void Push(LspEvent event) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_events.push_back(std::move(event));
    }
    m_ready.notify_one();
  }

  // The next event, waiting until `until` at most; false when none came.
  bool Pop(Clock::time_point until, LspEvent* event) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_ready.wait_until(lock, until, [this] { return !m_events.empty(); })) return false;
    *event = std::move(m_events.front());
    m_events.pop_front();
    return true;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_ready;
  std::deque<LspEvent> m_events;
};

}  // namespace nv
