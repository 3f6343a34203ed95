// For the dialog's tests: drives a running NuvarineThemeBuilder.exe from
// another process, the way a user meets it: through its window, with typed
// text, pressed buttons and keys, and the close box.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace nv {

class ProgramDriver {
 public:
  // Starts the program file with its own folder as current folder and waits
  // until its dialog shows; Window() is null when it never did, or the
  // program ended first.
  explicit ProgramDriver(const std::string& programPath);
  ~ProgramDriver();  // ends the program if it still runs
  ProgramDriver(const ProgramDriver&) = delete;
  ProgramDriver& operator=(const ProgramDriver&) = delete;

  HWND Window() const { return m_window; }
  HWND Control(int id) const { return GetDlgItem(m_window, id); }

  // WM_SETTEXT and WM_GETTEXT, as a user's typing and reading; typing also
  // into a control of another window of the program.
  void Type(int id, const std::string& text) const { Type(Control(id), text); }
  void Type(HWND control, const std::string& text) const;
  std::string Text(int id) const;
  // A press of a button (BM_CLICK), done when the program has handled it.
  void Click(int id) const;
  // A press of a button whose handling opens a modal window: posted, since
  // the program finishes handling it only when that window has closed.
  void ClickWithoutWaiting(int id) const;
  // A key pressed and released on the real keyboard while the dialog, or
  // another window of the program, is in front.
  void PressKey(WORD virtualKey) const { PressKey(virtualKey, m_window); }
  void PressKey(WORD virtualKey, HWND window) const;
  // The title bar's close box.
  void PressCloseBox() const;

  // Waits, a few seconds at most, until the control's text passes the test.
  bool WaitForText(int id, const std::function<bool(const std::string&)>& test) const;
  // Waits, a few seconds at most, until the message box has scrolled away
  // from its first line.
  bool WaitForScroll(int id) const;
  // Waits, a few seconds at most, for a visible window that the dialog
  // owns, such as a modal picker; null when none came.
  HWND WaitForOwnedWindow() const;
  // Waits, a few seconds at most, until the window is gone.
  bool WaitForClosed(HWND window) const;
  // Waits for the program to end and returns its exit code, or -1 when it
  // didn't end in time.
  int WaitForExit();

  // The dialog's controls, in Tab order.
  std::vector<HWND> Controls() const;
  // A button's size that fits its text in its font (BCM_GETIDEALSIZE).
  SIZE IdealSize(HWND button) const;
  // Files dropped on the dialog at a point of its client area, as the shell
  // drops them: WM_DROPFILES with an HDROP, a DROPFILES and the names.
  void DropFiles(POINT point, const std::vector<std::wstring>& paths) const;
  // The dialog moved onto a monitor of another scale: WM_DPICHANGED with
  // the new DPI and the rectangle the system suggests.
  void ChangeDpi(UINT dpi, const RECT& suggested) const;

 private:
  LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;

  PROCESS_INFORMATION m_process = {};
  HWND m_window = nullptr;
};

// What a console program wrote to its standard output, and its exit code
// (-1 when it couldn't be started or didn't end in time).
struct ConsoleRun {
  int exitCode = -1;
  std::string output;
};

// Runs a console program to its end, its standard output read as bytes.
ConsoleRun RunConsoleProgram(const std::string& commandLine);

}  // namespace nv
