// For tests: a build run's notes, kept in the order they were made.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "run/build_notes.h"

namespace nv {

class RecordingNotes : public BuildNotes {
 public:
  void Note(const std::string& path, const std::string& text, const std::string& warning) override {
    notes.push_back({path, text});
    warnings.push_back(warning);
  }

  std::vector<std::pair<std::string, std::string>> notes;  // path, text
  std::vector<std::string> warnings;                       // of each note, or empty
};

}  // namespace nv
