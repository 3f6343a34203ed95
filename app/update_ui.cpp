// The idle-time updater of user-interface elements.
#include "app/update_ui.h"

namespace nv {

CUpdateUIBase::CUpdateUIBase(const std::vector<int>& ids) {
  for (int id : ids) m_elements.push_back({id, true, false});
}

void CUpdateUIBase::UIEnable(int id, bool enabled) {
  for (Element& e : m_elements) {
    if (e.id != id || e.enabled == enabled) continue;
    e.enabled = enabled;
    e.changed = true;
  }
}

void CUpdateUIBase::UIUpdateChildWindows() {
  for (Element& e : m_elements) {
    if (!e.changed) continue;
    for (HWND window : m_containers) EnableWindow(GetDlgItem(window, e.id), e.enabled);
    e.changed = false;
  }
}

}  // namespace nv
