// Running the built photocheck.exe with a UTF-16 command line, for arguments
// the ANSI code page cannot hold, and with the process at hand, for tests
// that end it while it works.
#ifndef PHOTOCHECK_TESTS_WINDOWS_WIDE_RUN_H
#define PHOTOCHECK_TESTS_WINDOWS_WIDE_RUN_H

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/run_tool.h"

namespace widerun {

// Runs photocheck.exe with `arguments` in `workingFolder` and collects its
// output and status, as runTool does.
ToolRun run(const std::vector<std::wstring>& arguments, const std::wstring& workingFolder);

// Starts photocheck.exe with `arguments`, its output going to the null
// device. The process handle, or nullptr when it could not start.
HANDLE start(const std::vector<std::wstring>& arguments);

}  // namespace widerun

#endif  // PHOTOCHECK_TESTS_WINDOWS_WIDE_RUN_H
