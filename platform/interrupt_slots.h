// The files an interruption removes, kept where a signal handler may read
// them: fixed slots, each filled before it is marked ready, and unmarked
// before it is given up.
#pragma once

#include <atomic>
#include <cstring>
#include <string>

namespace nv {
namespace interrupt_slots {

constexpr int kSlots = 16;
constexpr size_t kPathBytes = 4096;

struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<bool> ready{false};
  char path[kPathBytes];
};

inline Slot g_slots[kSlots];

// Set while interruptions are deferred; then an interruption only sets
// g_requested. Lock-free, so a handler may touch them.
inline std::atomic<int> g_deferred{0};
inline std::atomic<bool> g_requested{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

inline int Take(const std::string& path) {
  if (path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!g_slots[i].taken.compare_exchange_strong(expected, true)) continue;
    std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
    g_slots[i].ready.store(true);
    return i;
  }
  return -1;
}

inline void Give(int slot) {
  if (slot < 0) return;
  g_slots[slot].ready.store(false);
  g_slots[slot].taken.store(false);
}

// Calls remove(path) for each file remembered; safe in a signal handler.
template <typename Remove>
void RemoveAll(Remove remove) {
  for (Slot& slot : g_slots)
    if (slot.ready.load()) remove(slot.path);
}

}  // namespace interrupt_slots
}  // namespace nv
