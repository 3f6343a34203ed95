// What the stages of one build run share: the disk, and the operation log
// with the way it is published.
#pragma once

#include "build/operation_log.h"
#include "platform/file_system.h"

namespace nv {

struct RunContext {
  FileSystem& fs;
  OperationLog& log;
  LogPublisher& publisher;

  void PublishLog() const { publisher.PublishLog(log.Text()); }
};

}  // namespace nv
