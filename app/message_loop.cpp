// The message loop.
#include "app/message_loop.h"

namespace nv {

namespace {

// The system timer message that blinks the caret; winuser.h has no name
// for it.
constexpr UINT kCaretBlink = 0x0118;

// Whether a message shows the user doing something, so that the queue
// running empty after it deserves an idle pass. Mouse moves, paints and the
// caret's blink come in streams and do not.
bool IsIdleMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kCaretBlink:
      return false;
    default:
      return true;
  }
}

}  // namespace

int CMessageLoop::Run() {
  bool idle = true;
  MSG msg = {};
  for (;;) {
    if (idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      OnIdle();
      idle = false;
    }
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (!got) return static_cast<int>(msg.wParam);
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (IsIdleMessage(msg)) idle = true;
  }
}

// A filter may remove itself or others while it runs (closing the dialog
// does), so the lists are walked by index and checked at each step.
bool CMessageLoop::PreTranslateMessage(MSG* msg) {
  for (size_t i = m_filters.size(); i > 0; --i) {
    if (i <= m_filters.size() && m_filters[i - 1]->PreTranslateMessage(msg)) return true;
  }
  return false;
}

void CMessageLoop::OnIdle() {
  for (size_t i = 0; i < m_idleHandlers.size(); ++i) m_idleHandlers[i]->OnIdle();
}

}  // namespace nv
