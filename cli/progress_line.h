// A one-line progress display for long builds on a terminal: files and bytes
// done, rate and time left, redrawn in place and erased when packing ends.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "run/build_progress.h"

namespace nv {

class ProgressLine : public BuildProgress {
 public:
  // `seconds` tells the time; the line is first drawn 0.5 s into packing,
  // then redrawn at most every 0.1 s.
  ProgressLine(std::ostream& out, std::function<double()> seconds);

  void PackingStarted(size_t files, uint64_t bytes) override;
  void FilePacked(uint64_t bytes) override;
  void PackingEnded() override;

  // "12/40 files, 3.1/9.0 MB, 2.5 MB/s, 0:03 left"
  static std::string Format(size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytes,
                            double elapsed);

 private:
  void Draw(const std::string& text);

  std::ostream& m_out;
  std::function<double()> m_seconds;
  size_t m_files = 0, m_filesDone = 0;
  uint64_t m_bytes = 0, m_bytesDone = 0;
  double m_start = 0, m_lastDraw = -1;
  size_t m_shown = 0;  // length of the line on screen
};

}  // namespace nv
