// The driver of a running NuvarineThemeBuilder.exe.
#include "testing/program_driver_win32.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "testing/owned_window_win32.h"

namespace nv {

namespace {

// Generous: a first start under Wine may take this long.
constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kTimeoutMs = 20000;

// Polls `ready` until it holds or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!ready()) {
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
  return true;
}

struct Search {
  DWORD processId;
  HWND found;
};

// The visible dialog window of the process, if it has one yet.
HWND FindDialog(DWORD processId) {
  Search search = {processId, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (owner != s->processId || !IsWindowVisible(window) || std::string(className) != "#32770")
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Bytes put into the program's memory for a message that points at them,
// and freed again. A pointer means nothing in another process: a control's
// own messages (BCM_GETIDEALSIZE) are never copied across, and Wine copies
// none of the system's messages the driver sends (WM_DROPFILES,
// WM_DPICHANGED), which Windows may.
class ProgramMemory {
 public:
  ProgramMemory(HANDLE process, const void* bytes, size_t size)
      : m_process(process),
        m_address(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {
    WriteProcessMemory(process, m_address, bytes, size, nullptr);
  }
  ~ProgramMemory() { VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE); }
  ProgramMemory(const ProgramMemory&) = delete;
  ProgramMemory& operator=(const ProgramMemory&) = delete;

  void* Address() const { return m_address; }
  void Read(void* bytes, size_t size) const {
    ReadProcessMemory(m_process, m_address, bytes, size, nullptr);
  }

 private:
  HANDLE m_process;
  void* m_address;
};

// The bytes of an HDROP made as the shell makes one: a DROPFILES header,
// then the names in UTF-16, each ended by a null, and one null more.
std::string DropBytes(POINT point, const std::vector<std::wstring>& paths) {
  std::wstring names;
  for (const std::wstring& path : paths) names += path + L'\0';
  names += L'\0';
  const size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL drop = GlobalAlloc(GHND, size);
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  files->pt = point;
  files->fNC = FALSE;
  files->fWide = TRUE;
  memcpy(files + 1, names.data(), names.size() * sizeof(wchar_t));
  const std::string bytes(reinterpret_cast<const char*>(files), size);
  GlobalUnlock(drop);
  GlobalFree(drop);
  return bytes;
}

void SendKey(WORD virtualKey, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

}  // namespace

ProgramDriver::ProgramDriver(const std::string& programPath) {
  const std::string folder = programPath.substr(0, programPath.rfind('\\'));
  std::string commandLine = '"' + programPath + '"';
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &m_process))
    return;
  WaitForInputIdle(m_process.hProcess, kStartTimeoutMs);
  WaitUntil(
      [&] {
        m_window = FindDialog(m_process.dwProcessId);
        return m_window || WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs);
}

ProgramDriver::~ProgramDriver() {
  if (!m_process.hProcess) return;
  if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(m_process.hProcess, 1);
    WaitForSingleObject(m_process.hProcess, kTimeoutMs);
  }
  CloseHandle(m_process.hThread);
  CloseHandle(m_process.hProcess);
}

LRESULT ProgramDriver::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

void ProgramDriver::Type(HWND control, const std::string& text) const {
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string ProgramDriver::Text(int id) const {
  const LRESULT length = Send(Control(id), WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT got =
      Send(Control(id), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(got));
  return text;
}

void ProgramDriver::Click(int id) const { Send(Control(id), BM_CLICK, 0, 0); }

void ProgramDriver::ClickWithoutWaiting(int id) const { PostMessageA(Control(id), BM_CLICK, 0, 0); }

// Keyboard input goes to the window in front, so the window is brought
// there first and the key sent once it is.
void ProgramDriver::PressKey(WORD virtualKey, HWND window) const {
  SetForegroundWindow(window);
  WaitUntil([&] { return GetForegroundWindow() == window; }, kTimeoutMs);
  SendKey(virtualKey, 0);
  SendKey(virtualKey, KEYEVENTF_KEYUP);
}

void ProgramDriver::PressCloseBox() const { PostMessageA(m_window, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool ProgramDriver::WaitForText(int id, const std::function<bool(const std::string&)>& test) const {
  return WaitUntil([&] { return test(Text(id)); }, kTimeoutMs);
}

bool ProgramDriver::WaitForScroll(int id) const {
  return WaitUntil([&] { return Send(Control(id), EM_GETFIRSTVISIBLELINE, 0, 0) > 0; }, kTimeoutMs);
}

HWND ProgramDriver::WaitForOwnedWindow() const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindOwnedWindow(m_window)) != nullptr; }, kTimeoutMs);
  return found;
}

bool ProgramDriver::WaitForClosed(HWND window) const {
  return WaitUntil([&] { return !IsWindow(window); }, kTimeoutMs);
}

int ProgramDriver::WaitForExit() {
  if (WaitForSingleObject(m_process.hProcess, kTimeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(m_process.hProcess, &code);
  return static_cast<int>(code);
}

std::vector<HWND> ProgramDriver::Controls() const {
  std::vector<HWND> controls;
  for (HWND c = GetWindow(m_window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    controls.push_back(c);
  return controls;
}

SIZE ProgramDriver::IdealSize(HWND button) const {
  SIZE size = {};  // a width of 0 asks for the width of one line
  ProgramMemory memory(m_process.hProcess, &size, sizeof size);
  Send(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(memory.Address()));
  memory.Read(&size, sizeof size);
  return size;
}

// The program's DragFinish can't free the copy, which isn't a block of its
// heap, and says so to nobody; the driver frees it.
void ProgramDriver::DropFiles(POINT point, const std::vector<std::wstring>& paths) const {
  const std::string bytes = DropBytes(point, paths);
  ProgramMemory drop(m_process.hProcess, bytes.data(), bytes.size());
  Send(m_window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop.Address()), 0);
}

void ProgramDriver::ChangeDpi(UINT dpi, const RECT& suggested) const {
  ProgramMemory rect(m_process.hProcess, &suggested, sizeof suggested);
  Send(m_window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(rect.Address()));
}

ConsoleRun RunConsoleProgram(const std::string& commandLine) {
  ConsoleRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);  // the pipe ends when the program's copy closes
  char buffer[4096];
  DWORD got = 0;
  while (started && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
    run.output.append(buffer, got);
  CloseHandle(readEnd);
  if (!started) return run;
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, kTimeoutMs) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.hProcess, &code))
    run.exitCode = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

}  // namespace nv
