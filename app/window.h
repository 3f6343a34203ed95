// A window by its handle, with the few operations the dialog program uses.
#pragma once

#include <windows.h>

#include <string>

namespace nv {

class CWindow {
 public:
  explicit CWindow(HWND window = nullptr) : m_hWnd(window) {}

  operator HWND() const { return m_hWnd; }

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  bool ShowWindow(int show) { return ::ShowWindow(m_hWnd, show); }
  bool DestroyWindow() { return ::DestroyWindow(m_hWnd); }
  HICON SetIcon(HICON icon, bool big) {
    return reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                                  reinterpret_cast<LPARAM>(icon)));
  }

  // Moves the window, which has no owner, to the middle of the work area of
  // the monitor nearest to it, keeping it inside that area. Size, stacking
  // order and activation stay as they are.
  void CenterWindow();

  HWND m_hWnd;
};

// The whole text of a window, however long.
std::string WindowText(HWND window);

}  // namespace nv
