// What the stages of one build run share: the disk, and the operation log
// with the way it is published.
#pragma once

#include "platform/file_system.h"
#include "run/build_notes.h"
#include "run/operation_log.h"

namespace nv {

struct RunContext {
  FileSystem& fs;
  OperationLog& log;
  LogPublisher& publisher;
  BuildNotes* notes = nullptr;  // may be null
  // Whether a file that leads outside the folder through a link counts as
  // one of its files; when not, it is passed over as one that cannot be read.
  bool outsideLinks = true;

  void PublishLog() const { publisher.PublishLog(log.Text()); }
  void Note(const std::string& path, const std::string& text,
            const std::string& warning = std::string()) const {
    if (notes) notes->Note(path, text, warning);
  }
};

}  // namespace nv
