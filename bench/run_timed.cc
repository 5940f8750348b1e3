// Runs one command and reports its wall time and peak memory.
//
//   run_timed OUTPUT [-C FOLDER] -- COMMAND [ARGS...]
//
// The command's standard output goes to the file OUTPUT (/dev/null to drop
// it); standard error stays. With -C the command starts in FOLDER. Prints one
// line: wall seconds, peak resident set in KiB (the child's own ru_maxrss) and
// the command's exit status.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: run_timed OUTPUT [-C FOLDER] -- COMMAND [ARGS...]\n");
    return 2;
  }
  const char* output = argv[1];
  const char* folder = nullptr;
  int next = 2;
  if (std::strcmp(argv[next], "-C") == 0 && next + 1 < argc) {
    folder = argv[next + 1];
    next += 2;
  }
  if (next >= argc || std::strcmp(argv[next], "--") != 0 || next + 1 >= argc) {
    std::fprintf(stderr, "run_timed: expected -- COMMAND\n");
    return 2;
  }
  char** command = argv + next + 1;

  struct timespec start;
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("run_timed: fork");
    return 2;
  }
  if (child == 0) {
    const int fd = ::open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) _exit(126);
    if (folder != nullptr && ::chdir(folder) != 0) _exit(126);
    ::execvp(command[0], command);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (::wait4(child, &status, 0, &usage) < 0) {
    std::perror("run_timed: wait4");
    return 2;
  }
  struct timespec end;
  ::clock_gettime(CLOCK_MONOTONIC, &end);
  const double seconds =
      static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%.6f %ld %d\n", seconds, usage.ru_maxrss, exitStatus);
  return 0;
}
