// The one-line progress display.
#include "cli/progress_line.h"

#include <algorithm>
#include <cstdio>

namespace nv {

namespace {

constexpr double kRedrawInterval = 0.1;
// A build shorter than this shows nothing, and the first rate is not a guess.
constexpr double kFirstDraw = 0.5;

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
  return text;
}

// A rate near zero would promise years; beyond this the time left says so
// without a number that overflows.
constexpr double kLongestShown = 100 * 3600;

std::string Duration(double seconds) {
  if (!(seconds < kLongestShown)) return "more than 100 hours";
  long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, std::function<double()> seconds)
    : m_out(out), m_seconds(std::move(seconds)) {}

std::string ProgressLine::Format(size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytes,
                                 double elapsed) {
  // Files may grow after they were listed: the total grows with them, and
  // what is left never goes below nothing.
  bytes = std::max(bytes, bytesDone);
  files = std::max(files, filesDone);
  std::string text = std::to_string(filesDone) + "/" + std::to_string(files) + " files, " +
                     Megabytes(bytesDone) + "/" + Megabytes(bytes) + " MB";
  if (elapsed <= 0 || bytesDone == 0) return text;
  double rate = static_cast<double>(bytesDone) / elapsed;
  return text + ", " + Megabytes(static_cast<uint64_t>(rate)) + " MB/s, " +
         Duration(static_cast<double>(bytes - bytesDone) / rate) + " left";
}

void ProgressLine::PackingStarted(size_t files, uint64_t bytes) {
  m_files = files;
  m_bytes = bytes;
  m_filesDone = 0;
  m_bytesDone = 0;
  m_start = m_seconds();
  m_lastDraw = -1;
}

void ProgressLine::FilePacked(uint64_t bytes) {
  ++m_filesDone;
  m_bytesDone += bytes;
  double now = m_seconds();
  if (now - m_start < kFirstDraw) return;
  if (m_lastDraw >= 0 && now - m_lastDraw < kRedrawInterval) return;
  m_lastDraw = now;
  Draw(Format(m_filesDone, m_files, m_bytesDone, m_bytes, now - m_start));
}

void ProgressLine::PackingEnded() {
  if (m_shown == 0) return;
  // Blanks over the line, not an escape sequence, so any console erases it.
  m_out << '\r' << std::string(m_shown, ' ') << '\r' << std::flush;
  m_shown = 0;
}

void ProgressLine::Draw(const std::string& text) {
  std::string line = text;
  if (line.size() < m_shown) line.append(m_shown - line.size(), ' ');
  m_out << '\r' << line << std::flush;
  m_shown = line.size();
}

}  // namespace nv
