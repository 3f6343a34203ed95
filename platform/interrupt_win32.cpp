// Interruption on Windows: Ctrl-C, Ctrl-Break and the console closed, each
// told to a handler that the system runs on a thread of its own.
#include <windows.h>

#include <cstring>

#include "platform/interrupt.h"
#include "platform/interrupt_slots.h"

namespace nv {

namespace {

const char* g_message = "";

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  // The files are still open on other threads: they were opened sharing
  // deletion, so they go as soon as the process ends and closes them.
  interrupt_slots::RemoveAll([](const char* path) { DeleteFileA(path); });
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), g_message, static_cast<DWORD>(std::strlen(g_message)),
            &written, nullptr);
  ExitProcess(130);
}

}  // namespace

void EndOnInterrupt(const char* message) {
  g_message = message;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

RemovedOnInterrupt::RemovedOnInterrupt(const std::string& path)
    : m_slot(interrupt_slots::Take(path)) {}

RemovedOnInterrupt::~RemovedOnInterrupt() { interrupt_slots::Give(m_slot); }

}  // namespace nv
