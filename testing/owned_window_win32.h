// For the dialog's tests: finding a window that another one owns, such as
// a folder picker, in this process or another.
#pragma once

#include <windows.h>

namespace nv {

// A visible top-level window owned by `owner`, or null when none is open.
inline HWND FindOwnedWindow(HWND owner) {
  struct Search {
    HWND owner;
    HWND found;
  } search = {owner, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (GetWindow(window, GW_OWNER) != s->owner || !IsWindowVisible(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace nv
