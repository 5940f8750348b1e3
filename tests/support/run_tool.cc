#include "tests/support/run_tool.h"

#ifdef _WIN32
#include <windows.h>

#include <thread>

namespace {

// Quotes one argument so that the C runtime's command-line parser of the
// child hands it back unchanged: blanks, quotes and backslashes included.
void appendQuoted(const std::string& argument, std::string& commandLine) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    commandLine += argument;
    return;
  }
  commandLine += '"';
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows; before a quote each
    // one is doubled and the quote itself escaped.
    commandLine.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    commandLine += c;
  }
  // The closing quote follows: double the backslashes before it.
  commandLine.append(backslashes * 2, '\\');
  commandLine += '"';
}

// Wine runs the tests with the build tree's Unix paths; Wine maps the Unix
// root to drive Z:.
std::string windowsPath(const std::string& path) {
  if (path.size() < 2 || path[0] != '/' || path[1] == '/') return path;
  std::string converted = "Z:" + path;
  for (char& c : converted) {
    if (c == '/') c = '\\';
  }
  return converted;
}

void readAll(HANDLE pipe, std::string& sink) {
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    sink.append(buffer, got);
  }
}

struct Handle {
  HANDLE value = nullptr;
  ~Handle() { close(); }
  void close() {
    if (value != nullptr && value != INVALID_HANDLE_VALUE) ::CloseHandle(value);
    value = nullptr;
  }
};

// A pipe whose write end the child inherits and whose read end it does not.
bool makePipe(Handle& readEnd, Handle& writeEnd) {
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!::CreatePipe(&readEnd.value, &writeEnd.value, &inherit, 0)) return false;
  return ::SetHandleInformation(readEnd.value, HANDLE_FLAG_INHERIT, 0) != 0;
}

}  // namespace

ToolRun runTool(const std::string& executable, const std::vector<std::string>& arguments,
                const std::string& workingFolder) {
  ToolRun run;
  const std::string application = windowsPath(executable);
  std::string commandLine;
  appendQuoted(application, commandLine);
  for (const std::string& argument : arguments) {
    commandLine += ' ';
    appendQuoted(argument, commandLine);
  }

  Handle outRead, outWrite, errRead, errWrite, input;
  if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite)) return run;
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  input.value = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.value;
  startup.hStdOutput = outWrite.value;
  startup.hStdError = errWrite.value;
  PROCESS_INFORMATION process = {};
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  const BOOL started =
      ::CreateProcessA(application.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process);
  // Only the child holds the write ends now, so the reads end when it does.
  outWrite.close();
  errWrite.close();
  input.close();
  if (!started) return run;
  Handle processHandle{process.hProcess};
  Handle threadHandle{process.hThread};

  // Both pipes are read at once, so that neither can fill up and stall the
  // child.
  std::thread errReader([&] { readAll(errRead.value, run.err); });
  readAll(outRead.value, run.out);
  errReader.join();

  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (::GetExitCodeProcess(process.hProcess, &code)) run.status = static_cast<int>(code);
  return run;
}
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
