// Runs the built photocheck executable as a real process and collects what a
// calling script would see: the standard output bytes and the exit status.
#ifndef PHOTOCHECK_TESTS_SUPPORT_RUN_TOOL_H
#define PHOTOCHECK_TESTS_SUPPORT_RUN_TOOL_H

#include <string>
#include <vector>

struct ToolRun {
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error (only a run that cannot start writes there)
  int status = -1;  // exit status; -1 when the process did not exit normally
};

// Runs `executable` with `arguments` (not including the program name) in the
// folder `workingFolder` (the test's own when empty).
ToolRun runTool(const std::string& executable, const std::vector<std::string>& arguments,
                const std::string& workingFolder = "");

#endif  // PHOTOCHECK_TESTS_SUPPORT_RUN_TOOL_H
