// For tests: a log publisher that remembers each publication.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "run/operation_log.h"

namespace nv {

// Remembers each publication: 'R' for a replacement without scrolling, 'P'
// for PublishLog, with the log as it stood.
class RecordingPublisher : public LogPublisher {
 public:
  void ReplaceText(const std::string& log) override { events.push_back({'R', log}); }
  void PublishLog(const std::string& log) override { events.push_back({'P', log}); }

  std::string Kinds() const {
    std::string kinds;
    for (const auto& e : events) kinds += e.first;
    return kinds;
  }

  std::vector<std::pair<char, std::string>> events;
};

}  // namespace nv
