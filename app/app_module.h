// The application module: the program's instance, from which dialog
// templates and icons are loaded, and the message loop of each thread.
#pragma once

#include <windows.h>

#include <map>

namespace nv {

class CMessageLoop;

class CAppModule {
 public:
  void Init(HINSTANCE instance) { m_instance = instance; }
  void Term();

  HINSTANCE GetResourceInstance() const { return m_instance; }

  // The loop of the calling thread; a thread has at most one.
  bool AddMessageLoop(CMessageLoop* loop);
  void RemoveMessageLoop();
  CMessageLoop* GetMessageLoop() const;

  // A window object waiting for its handle: set just before the calling
  // thread creates the window, taken by the window's first message.
  void AddCreateWndData(void* object) { m_creating[GetCurrentThreadId()] = object; }
  void* ExtractCreateWndData();

 private:
  HINSTANCE m_instance = nullptr;
  // Keyed by thread id. Only the user-interface thread uses the module, so
  // nothing here is locked.
  std::map<DWORD, CMessageLoop*> m_loops;
  std::map<DWORD, void*> m_creating;
};

// The program's one module, initialised at start-up.
extern CAppModule g_appModule;

}  // namespace nv
