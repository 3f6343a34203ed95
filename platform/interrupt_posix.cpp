// Interruption on POSIX: SIGINT and SIGTERM. The handler does only what is
// safe in one: unlink, write, _exit.
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "platform/interrupt.h"
#include "platform/interrupt_slots.h"

namespace nv {

namespace {

const char* g_message = "";

void OnInterrupt(int) {
  if (interrupt_slots::g_deferred.load() > 0) {
    interrupt_slots::g_requested.store(true);
    return;
  }
  interrupt_slots::RemoveAll([](const char* path) { ::unlink(path); });
  if (::write(STDERR_FILENO, g_message, std::strlen(g_message)) < 0) {
  }  // nothing more can be said
  ::_exit(130);
}

}  // namespace

void EndOnInterrupt(const char* message) {
  g_message = message;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

InterruptsDeferred::InterruptsDeferred() { ++interrupt_slots::g_deferred; }

InterruptsDeferred::~InterruptsDeferred() { --interrupt_slots::g_deferred; }

bool InterruptRequested() { return interrupt_slots::g_requested.load(); }

RemovedOnInterrupt::RemovedOnInterrupt(const std::string& path)
    : m_slot(interrupt_slots::Take(path)) {}

RemovedOnInterrupt::~RemovedOnInterrupt() { interrupt_slots::Give(m_slot); }

}  // namespace nv
