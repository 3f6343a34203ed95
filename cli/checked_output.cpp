// Output whose every write is checked.
#include "cli/checked_output.h"

#include <cerrno>
#include <cstring>

namespace nv {

CheckedOutput::CheckedOutput(std::ostream& target)
    : m_buffer(target.rdbuf()), m_stream(&m_buffer) {}

bool CheckedOutput::Flush(std::string* reason) {
  m_stream.flush();
  if (m_buffer.Refusal().empty()) return true;
  *reason = m_buffer.Refusal();
  return false;
}

CheckedOutput::Checked::int_type CheckedOutput::Checked::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const bool put =
      m_target &&
      !traits_type::eq_int_type(m_target->sputc(traits_type::to_char_type(c)), traits_type::eof());
  return Passed(put) ? c : traits_type::eof();
}

std::streamsize CheckedOutput::Checked::xsputn(const char* s, std::streamsize n) {
  const std::streamsize put = m_target ? m_target->sputn(s, n) : 0;
  Passed(put == n);
  return put;
}

int CheckedOutput::Checked::sync() { return Passed(m_target && m_target->pubsync() == 0) ? 0 : -1; }

// The reason is taken from errno right after the refused call, before
// anything else can change it; the stream above stops writing after the
// first refusal, so the first is the one to tell.
bool CheckedOutput::Checked::Passed(bool passed) {
  if (!passed && m_refusal.empty())
    m_refusal = errno != 0 ? std::strerror(errno) : "the output was refused";
  return passed;
}

}  // namespace nv
