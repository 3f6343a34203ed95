// For tests on POSIX: a program run in a child process, under conditions
// set in the child alone (limits, signals), what it wrote captured, and
// signals sent to it while it runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nv {

struct ProgramRun {
  int status = -1;  // the exit status, or 128 + the signal that ended it, as shells tell it
  std::string out;  // standard output, unless it went to a file
  std::string err;  // standard error
  // The most memory it held at once (its peak resident set), in bytes. The
  // system counts the child before it started the program too: the test's
  // own memory when it forked, if that was more.
  uint64_t peakMemory = 0;
};

// A program started with argv (argv[0] its path). `prepare` runs in the
// child just before the program starts (a limit, a signal's disposition);
// standard output goes to `outputFile` when one is named, else is captured
// like standard error.
class RunningProgram {
 public:
  explicit RunningProgram(std::vector<std::string> argv, const std::function<void()>& prepare = {},
                          const std::string& outputFile = "") {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(&arg[0]);
    args.push_back(nullptr);
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      const int file = outputFile.empty()
                           ? out[1]
                           : ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (file < 0 || ::dup2(file, STDOUT_FILENO) < 0 || ::dup2(err[1], STDERR_FILENO) < 0)
        ::_exit(125);
      if (prepare) prepare();
      ::execv(args[0], args.data());
      ::_exit(126);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_fds[0] = {out[0], POLLIN, 0};
    m_fds[1] = {err[0], POLLIN, 0};
  }

  // Reads what the program writes until its standard error holds `text`
  // `count` times, or `timeoutMs` pass; whether it came to that.
  bool AwaitError(const std::string& text, int count, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Occurrences(m_run.err, text) < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
    }
    return true;
  }

  // Sends `signal` (none when 0), reads the rest of the output and waits
  // for the program to end.
  ProgramRun End(int signal = 0) {
    if (signal && m_pid > 0) ::kill(m_pid, signal);
    while (ReadSome(-1)) {
    }
    int status = 0;
    rusage usage = {};
    if (m_pid > 0) ::wait4(m_pid, &status, 0, &usage);
    m_run.peakMemory = static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // given in KiB
    m_run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m_run;
  }

  const ProgramRun& SoFar() const { return m_run; }

 private:
  static int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  // Reads what is there from both pipes, as they fill, so that neither
  // blocks the program; false once both are closed or nothing came in time.
  bool ReadSome(int timeoutMs) {
    if (m_fds[0].fd < 0 && m_fds[1].fd < 0) return false;
    if (::poll(m_fds, 2, timeoutMs) <= 0) return false;
    std::string* sinks[2] = {&m_run.out, &m_run.err};
    for (int i = 0; i < 2; ++i) {
      if (m_fds[i].fd < 0 || !m_fds[i].revents) continue;
      char buffer[4096];
      const ssize_t n = ::read(m_fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        ::close(m_fds[i].fd);
        m_fds[i].fd = -1;
      }
    }
    return true;
  }

  pid_t m_pid = -1;
  pollfd m_fds[2] = {{-1, 0, 0}, {-1, 0, 0}};
  ProgramRun m_run;
};

// Runs the program to its end; see RunningProgram.
inline ProgramRun RunProgram(std::vector<std::string> argv,
                             const std::function<void()>& prepare = {},
                             const std::string& outputFile = "") {
  return RunningProgram(std::move(argv), prepare, outputFile).End();
}

}  // namespace nv
