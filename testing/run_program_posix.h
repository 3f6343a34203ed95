// For tests on POSIX: a program run in a child process, under conditions
// set in the child alone (limits, signals), what it wrote captured.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace nv {

struct ProgramRun {
  int status = -1;  // the exit status, or 128 + the signal that ended it, as shells tell it
  std::string out;  // standard output, unless it went to a file
  std::string err;  // standard error
};

// Runs argv[0] with argv. `prepare` runs in the child just before the
// program starts (a limit, a signal's disposition); standard output goes to
// `outputFile` when one is named, else is captured like standard error.
inline ProgramRun RunProgram(std::vector<std::string> argv,
                             const std::function<void()>& prepare = {},
                             const std::string& outputFile = "") {
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(&arg[0]);
  args.push_back(nullptr);
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
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
  // Both pipes are read as they fill, so that neither blocks the program.
  ProgramRun run;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  for (int open = 2; open > 0 && ::poll(fds, 2, -1) > 0;) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !fds[i].revents) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace nv
