// A build run's notes for the author, one line each on standard error:
// "nvtheme: PATH: TEXT".
#pragma once

#include <ostream>

#include "build/build_notes.h"

namespace nv {

class StderrNotes : public BuildNotes {
 public:
  explicit StderrNotes(std::ostream& err) : m_err(err) {}

  void Note(const std::string& path, const std::string& text) override {
    m_err << "nvtheme: " << path << ": " << text << '\n' << std::flush;
  }

 private:
  std::ostream& m_err;
};

}  // namespace nv
