// The operation log: 8-bit text that a build only ever appends to, and the
// seam through which it reaches whoever shows it.
#pragma once

#include <string>
#include <type_traits>

namespace nv {

class OperationLog {
 public:
  OperationLog& operator<<(const std::string& text) {
    m_text += text;
    return *this;
  }
  OperationLog& operator<<(const char* text) {
    m_text += text;
    return *this;
  }
  // Integers in decimal, without leading zeros, blanks or grouping.
  template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
  OperationLog& operator<<(T value) {
    m_text += std::to_string(value);
    return *this;
  }

  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

// Shows the log. The dialog replaces its message box's text; the command
// line writes what was appended since it last wrote.
class LogPublisher {
 public:
  virtual ~LogPublisher() = default;
  // The whole log replaces what is shown; nothing scrolls.
  virtual void ReplaceText(const std::string& log) = 0;
  // The whole log replaces what is shown, and the view is asked to move one
  // page down.
  virtual void PublishLog(const std::string& log) = 0;
};

// Shows nothing: for a run whose log nobody watches, such as a check that
// reports its findings as diagnostics.
class SilentPublisher : public LogPublisher {
 public:
  void ReplaceText(const std::string&) override {}
  void PublishLog(const std::string&) override {}
};

}  // namespace nv
