// How the process ends when it is interrupted (Ctrl-C, a termination
// request, the console closed): it removes the files it is in the middle
// of writing, says so, and exits with status 130, as shells report Ctrl-C.
#pragma once

#include <string>

namespace nv {

// From now on, an interruption removes the files named by the live
// RemovedOnInterrupt objects, writes `message` to standard error and ends
// the process with status 130. `message` must outlive the process.
void EndOnInterrupt(const char* message);

// While one lives, an interruption does not end the process: it is only
// noted, so that work which can undo what it made stops at its next step,
// undoes it and ends as interrupted, however many files it made.
class InterruptsDeferred {
 public:
  InterruptsDeferred();
  ~InterruptsDeferred();
  InterruptsDeferred(const InterruptsDeferred&) = delete;
  InterruptsDeferred& operator=(const InterruptsDeferred&) = delete;
};

// Whether an interruption came while interruptions were deferred.
bool InterruptRequested();

// Names a file to be removed if the process is interrupted while this
// object lives: a temporary file that must not outlive a cut-short run.
// A few files at once are remembered; more are not.
class RemovedOnInterrupt {
 public:
  explicit RemovedOnInterrupt(const std::string& path);
  ~RemovedOnInterrupt();
  RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
  RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

 private:
  int m_slot;  // -1: not remembered
};

}  // namespace nv
