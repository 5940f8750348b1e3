#include "tests/windows/wide_files.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace widefiles {

std::wstring widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring extended(const std::string& folder, const std::wstring& relative) {
  return L"\\\\?\\" + widen(folder) + L"\\" + relative;
}

void makeFolders(const std::wstring& path) {
  // Every prefix after "\\?\C:\" that ends before a backslash, then the path.
  for (std::size_t at = path.find(L'\\', 7); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

void writeFile(const std::wstring& path, const std::vector<unsigned char>& bytes) {
  makeFolders(path.substr(0, path.rfind(L'\\')));
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create a test file, error " << ::GetLastError();
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  EXPECT_TRUE(ok && written == bytes.size());
}

bool exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  ::CloseHandle(file);
  return bytes;
}

namespace {

// Wine's own call that gives the Unix path of a Windows one; absent on
// Windows.
using UnixFileName = char*(__cdecl*)(const wchar_t*);

UnixFileName wineUnixFileName() {
  return reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

// The Unix path of the existing `path` under Wine; empty elsewhere.
std::wstring unixPathOf(const std::wstring& path) {
  const UnixFileName unixFileName = wineUnixFileName();
  if (unixFileName == nullptr) return std::wstring();
  char* const converted = unixFileName(path.c_str());
  if (converted == nullptr) return std::wstring();
  const std::wstring result = widen(converted);
  ::HeapFree(::GetProcessHeap(), 0, converted);
  return result;
}

// Starts a Unix program under Wine. Wine hands back a process that has
// ended at once, so the caller waits for what the program makes instead.
bool startUnixProgram(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// Waits up to ten seconds for `path` to be there (or gone).
bool waitUntil(const std::wstring& path, bool there) {
  for (int i = 0; i < 1000; ++i) {
    if (exists(path) == there) return true;
    ::Sleep(10);
  }
  return false;
}

bool makeUnixLink(const std::wstring& link, const std::wstring& target) {
  const std::size_t split = link.rfind(L'\\');
  const std::wstring folder = unixPathOf(link.substr(0, split));
  if (folder.empty()) return false;
  std::wstring unixTarget = target;
  for (wchar_t& c : unixTarget) {
    if (c == L'\\') c = L'/';
  }
  return startUnixProgram(L"/bin/ln -s \"" + unixTarget + L"\" \"" + folder + L"/" +
                          link.substr(split + 1) + L"\"") &&
         waitUntil(link, true);
}

// Removes `path` and all below it, links themselves and never what they lead
// to, through the extended UTF-16 calls.
void removeExactly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") removeExactly(path + L"\\" + name);
      } while (::FindNextFileW(find, &entry));
      ::FindClose(find);
    }
  }
  ::RemoveDirectoryW(path.c_str());
}

}  // namespace

void removeTree(const std::string& folder) {
  const std::wstring path = L"\\\\?\\" + widen(folder);
  // Wine shows a Unix link to a folder as a plain folder: removing through it
  // would empty (or, in a loop, never end in) what it leads to.
  const std::wstring unixPath = unixPathOf(path);
  if (unixPath.find(L"/photocheck-test-") != std::wstring::npos) {
    startUnixProgram(L"/bin/rm -rf \"" + unixPath + L"\"");
    waitUntil(path, false);
    return;
  }
  removeExactly(path);
}

bool copyUnderUnixName(const std::string& source, const std::string& folder,
                       const std::string& unixName) {
  const std::wstring from = unixPathOf(L"\\\\?\\" + widen(source));
  const std::wstring into = unixPathOf(L"\\\\?\\" + widen(folder));
  if (from.empty() || into.empty()) return false;
  const std::wstring name = widen(unixName);
  if (!startUnixProgram(L"/bin/cp \"" + from + L"\" \"" + into + L"/" + name + L"\"")) return false;
  // Wine lists the name as it is; wait until it does.
  for (int i = 0; i < 1000; ++i) {
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((L"\\\\?\\" + widen(folder) + L"\\*").c_str(), &entry);
    bool found = false;
    if (find != INVALID_HANDLE_VALUE) {
      do {
        found = found || name == entry.cFileName;
      } while (::FindNextFileW(find, &entry));
      ::FindClose(find);
    }
    if (found) return true;
    ::Sleep(10);
  }
  return false;
}

bool makeLink(const std::wstring& link, const std::wstring& target, bool toFolder) {
  // 0x2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE (developer mode).
  const DWORD flags = (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2;
  if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && exists(link)) {
    return true;
  }
  return makeUnixLink(link, target);
}

}  // namespace widefiles
