// Making test files under names no ANSI call can make: names in UTF-16,
// trailing dots and blanks, paths past 260 characters, links between folders.
// Everything goes through the UTF-16 calls with the "\\?\" prefix, and none
// of it through the code under test.
#ifndef PHOTOCHECK_TESTS_WINDOWS_WIDE_FILES_H
#define PHOTOCHECK_TESTS_WINDOWS_WIDE_FILES_H

#include <string>
#include <vector>

namespace widefiles {

// An ASCII path of the test's own (a temporary folder) as UTF-16.
std::wstring widen(const std::string& ascii);

// "\\?\" and the absolute `folder`, a backslash and `relative` (whose
// separators must be backslashes).
std::wstring extended(const std::string& folder, const std::wstring& relative);

// Writes `bytes` at `path` (an extended path), creating the folders on the
// way. Fails the test when it cannot.
void writeFile(const std::wstring& path, const std::vector<unsigned char>& bytes);
void makeFolders(const std::wstring& path);

bool exists(const std::wstring& path);
// The file's bytes; empty when it cannot be read.
std::string readFile(const std::wstring& path);

// Makes `link` a symbolic link to `target` (a path relative to the link's
// folder), a folder or a file. Windows makes it with CreateSymbolicLinkW.
// Wine 8 accepts that call but makes nothing, so there a Unix symbolic link
// is made with ln (Wine starts Unix programs), which Wine follows as Windows
// follows a link. False when neither works.
bool makeLink(const std::wstring& link, const std::wstring& target, bool toFolder);

// Copies the file `source` (a test's own) into `folder` under `unixName`, a
// name only the Unix file system below Wine can hold (one with a '\'), by
// the Unix cp. False where that cannot be done (not under Wine).
bool copyUnderUnixName(const std::string& source, const std::string& folder,
                       const std::string& unixName);

// Removes `folder` (a test's own) with all it holds, also what the C++
// library's removal cannot reach or loops in: names with trailing dots or
// blanks, paths past 260 characters, links (never what they lead to).
void removeTree(const std::string& folder);

// A test's temporary folder that goes through removeTree before its own
// removal. Declared after the TempFolder it empties.
struct TreeRemover {
  std::string folder;
  ~TreeRemover() { removeTree(folder); }
};

}  // namespace widefiles

#endif  // PHOTOCHECK_TESTS_WINDOWS_WIDE_FILES_H
