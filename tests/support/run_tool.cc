#include "tests/support/run_tool.h"

#ifdef _WIN32
#error "runTool has no Windows implementation yet"
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Reads both pipes to their end at once, so that neither can fill up and
// stall the child.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ToolRun runTool(const std::string& executable, const std::vector<std::string>& arguments,
                const std::string& workingFolder) {
  ToolRun run;
  int outPipe[2];
  int errPipe[2];
  if (::pipe(outPipe) != 0) return run;
  if (::pipe(errPipe) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return run;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(executable.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[0]);
    ::close(errPipe[1]);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, 0);
    if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0) ::_exit(126);
    ::execv(executable.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (child > 0) drain(outPipe[0], errPipe[0], run.out, run.err);
  ::close(outPipe[0]);
  ::close(errPipe[0]);
  if (child < 0) return run;
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(waitStatus)) run.status = WEXITSTATUS(waitStatus);
  return run;
}
#endif
