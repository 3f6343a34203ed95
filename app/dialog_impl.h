// A modeless dialog made from a dialog template: the object is bound to its
// window once, at the window's first message, and from then on each message
// goes to the object's message map.
#pragma once

#include <windows.h>

#include "app/app_module.h"
#include "app/window.h"

namespace nv {

template <class TBase>
class CDialogImplBaseT : public TBase {
 public:
  // The message map: handles the message and sets *result, or answers false
  // to leave it to the platform's default dialog handling.
  virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) = 0;
  virtual ~CDialogImplBaseT() = default;
  // The procedure the platform is given when the window is created.
  virtual DLGPROC GetDialogProc() { return StartDialogProc; }
  // Called after the window's last message, when the object has let go of it.
  virtual void OnFinalMessage(HWND) {}

 protected:
  static INT_PTR CALLBACK StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static bool ReturnsResultDirectly(UINT message);
};

// T names its template with a member IDD.
template <class T, class TBase = CWindow>
class CDialogImpl : public CDialogImplBaseT<TBase> {
 public:
  // Creates the window, hidden unless the template says otherwise; null when
  // it can't be made (no such template, or a control that can't be created).
  HWND Create(HWND owner, LPARAM initParam = 0) {
    using Base = CDialogImplBaseT<TBase>;
    g_appModule.AddCreateWndData(static_cast<Base*>(this));
    HWND window = CreateDialogParamA(g_appModule.GetResourceInstance(), MAKEINTRESOURCEA(T::IDD),
                                     owner, this->GetDialogProc(), initParam);
    g_appModule.ExtractCreateWndData();  // still there when no message came
    return window;
  }
};

// The first message binds the waiting object to the window and hands over
// to DialogProc, which finds the object in the window's user slot.
template <class TBase>
INT_PTR CALLBACK CDialogImplBaseT<TBase>::StartDialogProc(HWND window, UINT message, WPARAM wParam,
                                                          LPARAM lParam) {
  auto* self = static_cast<CDialogImplBaseT*>(g_appModule.ExtractCreateWndData());
  if (!self) return FALSE;
  self->m_hWnd = window;
  SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
  return DialogProc(window, message, wParam, lParam);
}

template <class TBase>
INT_PTR CALLBACK CDialogImplBaseT<TBase>::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
  auto* self = reinterpret_cast<CDialogImplBaseT*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!self) return FALSE;
  LRESULT result = 0;
  const bool handled = self->ProcessWindowMessage(window, message, wParam, lParam, &result);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->m_hWnd = nullptr;
    self->OnFinalMessage(window);
  }
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return result;
  SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// A dialog procedure answers these messages with its return value; all
// others put their result in the window's DWLP_MSGRESULT slot.
template <class TBase>
bool CDialogImplBaseT<TBase>::ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

}  // namespace nv
