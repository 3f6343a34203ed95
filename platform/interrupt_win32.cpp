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
  if (interrupt_slots::g_deferred.load() > 0) {
    interrupt_slots::g_requested.store(true);
    // The console closed ends the process as soon as this returns: the
    // work under way is given the time the system allows to undo itself
    // and end the process.
    if (type == CTRL_CLOSE_EVENT) Sleep(INFINITE);
    return TRUE;
  }
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

InterruptsDeferred::InterruptsDeferred() { ++interrupt_slots::g_deferred; }

InterruptsDeferred::~InterruptsDeferred() { --interrupt_slots::g_deferred; }

bool InterruptRequested() { return interrupt_slots::g_requested.load(); }

RemovedOnInterrupt::RemovedOnInterrupt(const std::string& path)
    : m_slot(interrupt_slots::Take(path)) {}

RemovedOnInterrupt::~RemovedOnInterrupt() { interrupt_slots::Give(m_slot); }

}  // namespace nv
