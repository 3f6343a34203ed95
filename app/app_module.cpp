// The application module.
#include "app/app_module.h"

namespace nv {

CAppModule g_appModule;

void CAppModule::Term() {
  m_loops.clear();
  m_creating.clear();
  m_instance = nullptr;
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
  return m_loops.emplace(GetCurrentThreadId(), loop).second;
}

void CAppModule::RemoveMessageLoop() { m_loops.erase(GetCurrentThreadId()); }

CMessageLoop* CAppModule::GetMessageLoop() const {
  auto it = m_loops.find(GetCurrentThreadId());
  return it == m_loops.end() ? nullptr : it->second;
}

void* CAppModule::ExtractCreateWndData() {
  auto it = m_creating.find(GetCurrentThreadId());
  if (it == m_creating.end()) return nullptr;
  void* object = it->second;
  m_creating.erase(it);
  return object;
}

}  // namespace nv
