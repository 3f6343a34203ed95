// A build run's notes for the author, kept while the run goes and written
// after its log, one line each on standard error: "nvtheme: PATH: TEXT",
// escaped as nvtheme's other lines there.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/error_line.h"
#include "run/build_notes.h"

namespace nv {

class StderrNotes : public BuildNotes {
 public:
  // Kept, not written: a line written now would land inside the log where
  // both streams meet, as on a terminal.
  void Note(const std::string& path, const std::string& text) override {
    m_lines.push_back(path + ": " + text);
  }

  // Writes the notes kept since the last call, and forgets them.
  void WriteTo(std::ostream& err) {
    for (const std::string& line : m_lines) WriteErrorLine(err, line);
    m_lines.clear();
  }

 private:
  std::vector<std::string> m_lines;
};

}  // namespace nv
