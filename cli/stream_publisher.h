// Publishes the operation log to a stream: each publication writes what was
// appended since the last one, so the stream carries the log exactly once.
#pragma once

#include <ostream>

#include "run/operation_log.h"

namespace nv {

class StreamPublisher : public LogPublisher {
 public:
  explicit StreamPublisher(std::ostream& out) : m_out(out) {}

  void ReplaceText(const std::string& log) override { WriteNew(log); }
  void PublishLog(const std::string& log) override { WriteNew(log); }

 private:
  void WriteNew(const std::string& log) {
    m_out.write(log.data() + m_written, static_cast<std::streamsize>(log.size() - m_written));
    m_out.flush();
    m_written = log.size();
  }

  std::ostream& m_out;
  size_t m_written = 0;
};

}  // namespace nv
