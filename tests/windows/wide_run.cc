#include "tests/windows/wide_run.h"

#include <thread>

namespace widerun {

namespace {

// The C runtime's quoting rules, as runTool follows them for ANSI texts.
void appendQuoted(const std::wstring& argument, std::wstring& commandLine) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    commandLine += argument;
    return;
  }
  commandLine += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    commandLine += c;
  }
  commandLine.append(backslashes * 2, L'\\');
  commandLine += L'"';
}

// The executable's Windows path (Wine runs the tests with Unix paths, and
// maps the Unix root to drive Z:).
std::wstring executable() {
  const std::string path = PHOTOCHECK_EXE;
  std::wstring wide(path.begin(), path.end());
  if (wide.size() > 1 && wide[0] == L'/' && wide[1] != L'/') {
    wide = L"Z:" + wide;
    for (wchar_t& c : wide) {
      if (c == L'/') c = L'\\';
    }
  }
  return wide;
}

std::vector<wchar_t> commandLineOf(const std::wstring& application,
                                   const std::vector<std::wstring>& arguments) {
  std::wstring commandLine;
  appendQuoted(application, commandLine);
  for (const std::wstring& argument : arguments) {
    commandLine += L' ';
    appendQuoted(argument, commandLine);
  }
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  return line;
}

void readAll(HANDLE pipe, std::string& sink) {
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    sink.append(buffer, got);
  }
}

HANDLE startWith(const std::vector<std::wstring>& arguments, const wchar_t* workingFolder,
                 HANDLE out, HANDLE err) {
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE input =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = out != nullptr ? out : input;
  startup.hStdError = err != nullptr ? err : input;
  PROCESS_INFORMATION process = {};
  const std::wstring application = executable();
  std::vector<wchar_t> line = commandLineOf(application, arguments);
  const BOOL started = ::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, workingFolder, &startup, &process);
  ::CloseHandle(input);
  if (!started) return nullptr;
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

ToolRun run(const std::vector<std::wstring>& arguments, const std::wstring& workingFolder) {
  ToolRun result;
  SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
  if (!::CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    ::CloseHandle(outRead);
    ::CloseHandle(outWrite);
    return result;
  }
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  const HANDLE process = startWith(
      arguments, workingFolder.empty() ? nullptr : workingFolder.c_str(), outWrite, errWrite);
  // Only the child holds the write ends now, so the reads end when it does.
  ::CloseHandle(outWrite);
  ::CloseHandle(errWrite);
  if (process != nullptr) {
    std::thread errReader([&] { readAll(errRead, result.err); });
    readAll(outRead, result.out);
    errReader.join();
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process, &code)) result.status = static_cast<int>(code);
    ::CloseHandle(process);
  }
  ::CloseHandle(outRead);
  ::CloseHandle(errRead);
  return result;
}

HANDLE start(const std::vector<std::wstring>& arguments) {
  return startWith(arguments, nullptr, nullptr, nullptr);
}

}  // namespace widerun
