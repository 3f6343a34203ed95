// Work shared out over threads: what makes a large file's block in pieces
// asks of whoever runs it.
#pragma once

#include <functional>
#include <vector>

namespace nv {

// Runs tasks on the caller's thread and on others that are free, and returns
// once every task has run. Tasks throw nothing.
class TaskSharing {
 public:
  virtual void RunAll(std::vector<std::function<void()>>& tasks) = 0;

 protected:
  ~TaskSharing() = default;
};

}  // namespace nv
