// Standard output and standard error as nvtheme writes them: each write is
// passed on at once and checked, so that a command whose output was lost
// (a full disk, a closed terminal) fails and says why instead of ending as
// if it had been read.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace nv {

class CheckedOutput {
 public:
  // Writes go to `target`'s buffer, unbuffered here, so that they stay in
  // order with anything else written to the same stream.
  explicit CheckedOutput(std::ostream& target);
  CheckedOutput(const CheckedOutput&) = delete;
  CheckedOutput& operator=(const CheckedOutput&) = delete;

  std::ostream& Stream() { return m_stream; }

  // Flushes what was written; false when any write or flush was refused,
  // with the system's words for the first refusal in *reason.
  bool Flush(std::string* reason);

 private:
  class Checked : public std::streambuf {
   public:
    explicit Checked(std::streambuf* target) : m_target(target) {}
    const std::string& Refusal() const { return m_refusal; }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

   private:
    bool Passed(bool passed);

    std::streambuf* m_target;
    std::string m_refusal;
  };

  Checked m_buffer;
  std::ostream m_stream;
};

}  // namespace nv
