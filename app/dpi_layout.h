// A dialog's layout as the dialog manager made it for one DPI, and the same
// layout redone for another when the window moves to a monitor of another
// scale (WM_DPICHANGED).
#pragma once

#include <windows.h>

#include <vector>

namespace nv {

class DpiLayout {
 public:
  DpiLayout() = default;
  ~DpiLayout();  // deletes the font it made, once the controls are gone
  DpiLayout(const DpiLayout&) = delete;
  DpiLayout& operator=(const DpiLayout&) = delete;

  // Notes the dialog's client size, its font and each control's place, and
  // the DPI they were made for. Called once the controls are made.
  void Capture(HWND dialog);
  // Scales what Capture noted to `dpi`: the client area, each control and
  // the font, always from the noted layout so that rounding never adds up.
  // The window goes to the suggested rectangle's top-left corner.
  void Apply(HWND dialog, UINT dpi, const RECT& suggested);

 private:
  struct Placed {
    HWND control;
    RECT rect;  // in the dialog's client coordinates
  };

  int Scale(int value, UINT dpi) const { return MulDiv(value, dpi, m_dpi); }
  void ResizeWindow(HWND dialog, UINT dpi, const RECT& suggested) const;

  UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
  SIZE m_client = {};
  LOGFONTA m_font = {};
  std::vector<Placed> m_controls;
  HFONT m_scaledFont = nullptr;
};

}  // namespace nv
