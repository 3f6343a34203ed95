// A dialog's layout across DPIs.
#include "app/dpi_layout.h"

namespace nv {

namespace {

// A user32 function that older systems lack (the DPI functions came with
// Windows 10), or null there; the program still starts on those systems.
template <typename F>
F* User32Function(const char* name) {
  // Through void (*)(): GCC warns on a cast between unrelated function
  // types, and that one is the documented way round it.
  return reinterpret_cast<F*>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// The DPI the window is laid out for. Without GetDpiForWindow the system
// has one DPI for everything, the screen's.
UINT WindowDpi(HWND window) {
  if (auto* getDpi = User32Function<UINT WINAPI(HWND)>("GetDpiForWindow")) return getDpi(window);
  HDC screen = GetDC(nullptr);
  const UINT dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Under per-monitor awareness version 2 the dialog manager would scale the
// dialog itself as well, by its own rules; the layout is this class's alone.
void KeepDialogManagerOut(HWND dialog) {
  using SetBehavior = BOOL WINAPI(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
  if (auto* set = User32Function<SetBehavior>("SetDialogDpiChangeBehavior"))
    set(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

// The window rectangle around a client area, with the frame and caption as
// they are drawn at `dpi`.
void AdjustForDpi(HWND window, UINT dpi, RECT* rect) {
  const DWORD style = GetWindowLongA(window, GWL_STYLE);
  const DWORD exStyle = GetWindowLongA(window, GWL_EXSTYLE);
  using Adjust = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT);
  if (auto* adjust = User32Function<Adjust>("AdjustWindowRectExForDpi"))
    adjust(rect, style, FALSE, exStyle, dpi);
  else
    AdjustWindowRectEx(rect, style, FALSE, exStyle);
}

}  // namespace

DpiLayout::~DpiLayout() {
  if (m_scaledFont) DeleteObject(m_scaledFont);
}

void DpiLayout::Capture(HWND dialog) {
  m_dpi = WindowDpi(dialog);
  RECT client;
  GetClientRect(dialog, &client);
  m_client = {client.right, client.bottom};
  // The dialog's own font, which the dialog manager made from the template
  // and deletes itself.
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  GetObjectA(font, sizeof m_font, &m_font);
  m_controls.clear();
  for (HWND control = GetWindow(dialog, GW_CHILD); control;
       control = GetWindow(control, GW_HWNDNEXT)) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    m_controls.push_back({control, rect});
  }
  KeepDialogManagerOut(dialog);
}

void DpiLayout::Apply(HWND dialog, UINT dpi, const RECT& suggested) {
  LOGFONTA scaled = m_font;
  scaled.lfHeight = Scale(m_font.lfHeight, dpi);
  scaled.lfWidth = Scale(m_font.lfWidth, dpi);
  HFONT font = CreateFontIndirectA(&scaled);
  ResizeWindow(dialog, dpi, suggested);
  for (const Placed& placed : m_controls) {
    const RECT& r = placed.rect;
    const int left = Scale(r.left, dpi), top = Scale(r.top, dpi);
    SetWindowPos(placed.control, nullptr, left, top, Scale(r.right, dpi) - left,
                 Scale(r.bottom, dpi) - top, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(placed.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  // The controls have let go of the previous font.
  if (m_scaledFont) DeleteObject(m_scaledFont);
  m_scaledFont = font;
}

// Windows 8.1, and Wine, draw the frame at the system's DPI whatever the
// window's, so the frame is measured once the window has its new size and
// the size put right where the client area came out otherwise.
void DpiLayout::ResizeWindow(HWND dialog, UINT dpi, const RECT& suggested) const {
  const SIZE client = {Scale(m_client.cx, dpi), Scale(m_client.cy, dpi)};
  RECT frame = {0, 0, client.cx, client.cy};
  AdjustForDpi(dialog, dpi, &frame);
  SetWindowPos(dialog, nullptr, suggested.left, suggested.top, frame.right - frame.left,
               frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT got;
  GetClientRect(dialog, &got);
  if (got.right == client.cx && got.bottom == client.cy) return;
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left + client.cx - got.right,
               frame.bottom - frame.top + client.cy - got.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace nv
