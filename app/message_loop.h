// The message loop of a thread, with the filters that see each message
// before it is dispatched and the handlers that run when the queue is empty.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace nv {

class CMessageFilter {
 public:
  // Whether the filter consumed the message: it is then neither offered to
  // older filters nor translated and dispatched.
  virtual bool PreTranslateMessage(MSG* msg) = 0;

 protected:
  ~CMessageFilter() = default;
};

class CIdleHandler {
 public:
  // Called once when the queue has run empty; whether the handler wants to
  // be called again (the loop asks for no further pass either way).
  virtual bool OnIdle() = 0;

 protected:
  ~CIdleHandler() = default;
};

class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter) { m_filters.push_back(filter); }
  bool RemoveMessageFilter(CMessageFilter* filter) { return Remove(m_filters, filter); }
  void AddIdleHandler(CIdleHandler* handler) { m_idleHandlers.push_back(handler); }
  bool RemoveIdleHandler(CIdleHandler* handler) { return Remove(m_idleHandlers, handler); }

  // Runs until the quit message arrives and returns its code.
  int Run();

 private:
  template <typename T>
  static bool Remove(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
  }
  bool PreTranslateMessage(MSG* msg);
  void OnIdle();

  std::vector<CMessageFilter*> m_filters;
  std::vector<CIdleHandler*> m_idleHandlers;
};

}  // namespace nv
