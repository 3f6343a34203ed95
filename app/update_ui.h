// Brings user-interface elements up to date when the program is idle: a
// table of control ids, each shown enabled or disabled in every window
// registered with the updater.
#pragma once

#include <windows.h>

#include <vector>

namespace nv {

class CUpdateUIBase {
 public:
  // Adds a window whose child controls the table's ids name.
  void UIAddChildWindowContainer(HWND window) { m_containers.push_back(window); }
  // Marks an element of the table for enabling or disabling at the next
  // update; ids outside the table are ignored.
  void UIEnable(int id, bool enabled);
  // Shows every marked element in every registered window.
  void UIUpdateChildWindows();

 protected:
  explicit CUpdateUIBase(const std::vector<int>& ids);
  ~CUpdateUIBase() = default;

 private:
  struct Element {
    int id;
    bool enabled;
    bool changed;
  };
  std::vector<Element> m_elements;
  std::vector<HWND> m_containers;
};

// T lists its elements in a static UpdateUIElements().
template <class T>
class CUpdateUI : public CUpdateUIBase {
 protected:
  CUpdateUI() : CUpdateUIBase(T::UpdateUIElements()) {}
};

}  // namespace nv
