// For tests: streams between a test and code that reads and writes them on
// another thread, as a program's standard input and output are: reads wait
// for what the test writes, and the test waits for what the code wrote.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <streambuf>
#include <string>

namespace nv {

// The reading end of a pipe the test writes into.
class InputPipe : public std::streambuf {
 public:
  void Write(const std::string& bytes) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_pending += bytes;
    }
    m_changed.notify_all();
  }
  // The reader meets the end once it has read what was written.
  void Close() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_closed = true;
    }
    m_changed.notify_all();
  }

 protected:
  int_type underflow() override {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pending.empty() || m_closed; });
    if (m_pending.empty()) return traits_type::eof();
    m_current.swap(m_pending);
    m_pending.clear();
    setg(&m_current[0], &m_current[0], &m_current[0] + m_current.size());
    return traits_type::to_int_type(m_current[0]);
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_pending;
  std::string m_current;
  bool m_closed = false;
};

// What the code wrote, for the test to wait on.
class OutputCapture : public std::streambuf {
 public:
  // Waits until `ready` holds of the whole output, for at most `timeout`;
  // false when it never did.
  bool WaitUntil(const std::function<bool(const std::string&)>& ready,
                 std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return ready(m_text); });
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_text.append(s, static_cast<size_t>(n));
    }
    m_changed.notify_all();
    return n;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_text;
};

}  // namespace nv
