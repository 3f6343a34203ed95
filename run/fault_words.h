// What went wrong in a step whose faults are noted rather than failing the run.
#pragma once

#include <new>
#include <string>

namespace nv {

// Runs the action; empty when it returned, else what it threw, in words:
// "out of memory" or "an unexpected fault".
template <typename Action>
std::string FaultOf(Action action) {
  try {
    action();
    return std::string();
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (...) {
    return "an unexpected fault";
  }
}

}  // namespace nv
