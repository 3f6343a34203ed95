// The allocator pair for buffers that services hand to their callers:
// CoTaskMemAlloc and CoTaskMemFree on Windows, malloc and free elsewhere.
#pragma once

#include <cstddef>
#include <memory>

namespace nv {

void* TaskMemAlloc(size_t size);
void TaskMemFree(void* p);  // null is allowed

struct TaskMemDeleter {
  void operator()(void* p) const { TaskMemFree(p); }
};

// Owns a buffer that a service returned.
template <typename T>
using TaskMemPtr = std::unique_ptr<T, TaskMemDeleter>;

}  // namespace nv
