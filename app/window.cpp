// A window by its handle.
#include "app/window.h"

#include <algorithm>

namespace nv {

namespace {

// The start of a span of `size` centred in [low, high), kept inside it where
// it fits and at its start where it does not.
LONG CentredStart(LONG low, LONG high, LONG size) {
  LONG start = low + (high - low - size) / 2;
  return std::max(low, std::min(start, high - size));
}

}  // namespace

void CWindow::CenterWindow() {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  RECT window;
  GetWindowRect(m_hWnd, &window);
  const LONG x = CentredStart(area.left, area.right, window.right - window.left);
  const LONG y = CentredStart(area.top, area.bottom, window.bottom - window.top);
  SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string WindowText(HWND window) {
  std::string text(GetWindowTextLengthA(window) + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
  return text;
}

}  // namespace nv
