// A build run's notes for the author, one line each on standard error:
// "nvtheme: PATH: TEXT", escaped as nvtheme's other lines there.
#pragma once

#include <ostream>

#include "cli/error_line.h"
#include "run/build_notes.h"

namespace nv {

class StderrNotes : public BuildNotes {
 public:
  explicit StderrNotes(std::ostream& err) : m_err(err) {}

  void Note(const std::string& path, const std::string& text) override {
    WriteErrorLine(m_err, path + ": " + text);
  }

 private:
  std::ostream& m_err;
};

}  // namespace nv
