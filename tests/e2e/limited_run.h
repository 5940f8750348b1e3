// Runs the built tool as a process the way a user's shell might leave it:
// under resource limits (set in the child before exec, as prlimit or ulimit
// would), with an environment of the test's choosing, and never longer than
// a timeout. POSIX only.
#ifndef PHOTOCHECK_TESTS_E2E_LIMITED_RUN_H
#define PHOTOCHECK_TESTS_E2E_LIMITED_RUN_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/run_tool.h"
#include "tests/support/sanitizer_build.h"

namespace e2e {

// True in a build with a sanitizer (see tests/support/sanitizer_build.h).
inline constexpr bool kSanitized = testsupport::kSanitized;

// A resource of setrlimit (an enumeration of the C library's in C++).
using Resource = decltype(RLIMIT_NOFILE);

struct RunLimits {
  // (resource, limit) pairs, each set as both soft and hard limit.
  std::vector<std::pair<Resource, rlim_t>> limits;
  // NAME=value entries; when not empty, the child's whole environment.
  std::vector<std::string> environment;
  std::chrono::milliseconds timeout{20000};
  // The tool's ends of its output pipes made non-blocking, as an event-loop
  // caller leaves them, and read slowly: a pause after each read.
  bool nonBlockingOutput = false;
  std::chrono::milliseconds pauseAfterRead{0};
};

// A run under the one limit `value` of `resource`.
inline RunLimits limitedTo(Resource resource, rlim_t value) {
  RunLimits run;
  run.limits.emplace_back(resource, value);
  return run;
}

// A started tool process with its standard output and error pipes.
struct StartedTool {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
};

inline StartedTool startTool(const std::string& executable,
                             const std::vector<std::string>& arguments, const RunLimits& run) {
  StartedTool started;
  int outPipe[2];
  int errPipe[2];
  if (::pipe(outPipe) != 0) return started;
  if (::pipe(errPipe) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return started;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : run.environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  started.pid = ::fork();
  if (started.pid == 0) {
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    if (run.nonBlockingOutput) {
      for (const int fd : {1, 2}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, 0);
    // Only the three standard streams pass to the tool: a descriptor limit
    // then means what it says.
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    for (const auto& [resource, value] : run.limits) {
      const struct rlimit limit = {value, value};
      if (::setrlimit(resource, &limit) != 0) ::_exit(125);
    }
    if (run.environment.empty()) {
      ::execv(executable.c_str(), argv.data());
    } else {
      ::execve(executable.c_str(), argv.data(), envp.data());
    }
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  started.out = outPipe[0];
  started.err = errPipe[0];
  return started;
}

// Reads the tool's output to its end and waits for it; kills it when it runs
// past `timeout` (status -1 then, and `timedOut` set).
inline ToolRun finishTool(StartedTool& started, std::chrono::milliseconds timeout,
                          bool* timedOut = nullptr,
                          std::chrono::milliseconds pauseAfterRead = std::chrono::milliseconds{0}) {
  ToolRun run;
  if (timedOut != nullptr) *timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  struct pollfd fds[2] = {{started.out, POLLIN, 0}, {started.err, POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  int open = started.pid > 0 ? 2 : 0;
  char buffer[4096];
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(started.pid, SIGKILL);
      if (timedOut != nullptr) *timedOut = true;
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
        if (pauseAfterRead.count() > 0) std::this_thread::sleep_for(pauseAfterRead);
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  ::close(started.out);
  ::close(started.err);
  if (started.pid <= 0) return run;
  int waitStatus = 0;
  while (::waitpid(started.pid, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(waitStatus)) run.status = WEXITSTATUS(waitStatus);
  return run;
}

inline ToolRun runLimited(const std::string& executable, const std::vector<std::string>& arguments,
                          const RunLimits& run, bool* timedOut = nullptr) {
  StartedTool started = startTool(executable, arguments, run);
  return finishTool(started, run.timeout, timedOut, run.pauseAfterRead);
}

}  // namespace e2e

#endif  // PHOTOCHECK_TESTS_E2E_LIMITED_RUN_H
