// Writing the report on Windows: a temporary file of the run's own beside the
// report, renamed over it once it is written whole.
#include "platform/windows_report.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string_view>

#include "platform/platform.h"
#include "platform/windows_paths.h"

namespace platform {

namespace {

// Tries before giving up: each name is new and random, so only names planted
// in the output folder on purpose (or a freak collision) make a try fail.
constexpr int kNameTries = 16;

// The most one WriteFile call is given.
constexpr std::size_t kChunk = std::size_t{1} << 30;

// Tries of the final move, 10 ms apart: another run replacing the same report
// at that moment makes the move fail for as long as its own move lasts.
constexpr int kMoveTries = 50;

// A name source from KERNEL32 alone (the exe imports nothing more): the
// performance counter, the process and a running count, mixed so that the
// names of two runs started in the same tick still differ. The names need
// not be secret: CREATE_NEW, not the name, keeps planted files out.
std::uint64_t systemRandom() {
  static std::uint64_t count = 0;
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  std::uint64_t x = static_cast<std::uint64_t>(counter.QuadPart) ^
                    (std::uint64_t{::GetCurrentProcessId()} << 32) ^
                    (++count * 0x9E3779B97F4A7C15ULL);
  // splitmix64's finaliser: every input bit reaches every output bit.
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// The bytes a text-mode C runtime stream stores for `text`: each line feed as
// CR LF, every other byte as it is.
std::string withCrLf(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + 2);
  for (const char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

// Creates a new file under a fresh temporary name for `target`. CREATE_NEW
// never opens what is there already: a file, a folder or a link planted under
// that name makes the try fail, and the next try takes another name.
HANDLE createTemporary(const std::wstring& target, RandomSource random, std::wstring& temporary) {
  for (int i = 0; i < kNameTries; ++i) {
    temporary = temporaryPathFor(target, random());
    // DELETE: the right to mark the file for deletion and to rename it.
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = ::GetLastError();
    // A folder under the name gives "access denied" on Windows.
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      break;
    }
  }
  return INVALID_HANDLE_VALUE;
}

bool writeWhole(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    const DWORD chunk = static_cast<DWORD>(left < kChunk ? left : kChunk);
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// Sets or clears the delete disposition of the open `file`: while it is
// set, the system removes the file when its last handle closes, also when
// the process is killed. False where the file system does not support it.
bool markForDeletion(HANDLE file, bool deleteOnClose) {
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = deleteOnClose ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Whether a failed move may succeed a moment later: `target` is in use by
// another run's move (never when it is a folder).
bool targetBusy(DWORD error, const std::wstring& target) {
  if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Renames the open `file` to `target`, replacing what is there.
bool renameOpenFile(HANDLE file, const std::wstring& target) {
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  std::string buffer(sizeof(FILE_RENAME_INFO) + nameBytes, '\0');
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy(target.begin(), target.end(), rename->FileName);
  return ::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

// Moves the written temporary file over `target`, which may exist (a report,
// or a link in its place: the link is replaced, never what it leads to), and
// closes it. While the file is `marked`, the mark is cleared just before each
// try of the rename and set again after a failed one, so that only the
// moment of the rename itself can leave the file behind. Where the open
// file cannot be renamed, it is closed and moved by its name.
bool moveOver(HANDLE file, bool marked, const std::wstring& temporary, const std::wstring& target) {
  for (int i = 0;; ++i) {
    // A mark that would not clear may still be set: renamed, the report
    // would go when the file closes.
    if (marked && !markForDeletion(file, false)) {
      ::CloseHandle(file);
      return false;
    }
    if (renameOpenFile(file, target)) return ::CloseHandle(file) != 0;
    const DWORD error = ::GetLastError();
    if (marked && !markForDeletion(file, true)) marked = false;
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
        error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED) {
      break;
    }
    if (!targetBusy(error, target) || i + 1 == kMoveTries) {
      ::CloseHandle(file);
      if (!marked) ::DeleteFileW(temporary.c_str());
      return false;
    }
    ::Sleep(10);
  }
  if (marked && !markForDeletion(file, false)) {
    ::CloseHandle(file);
    return false;
  }
  ::CloseHandle(file);
  for (int i = 0;; ++i) {
    if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (!targetBusy(::GetLastError(), target) || i + 1 == kMoveTries) break;
    ::Sleep(10);
  }
  ::DeleteFileW(temporary.c_str());
  return false;
}

// Has `makeText` write its pieces to `file`, as text mode stores them. A text
// that runs out of memory while it is made is one that could not be written.
bool writeMadeText(HANDLE file, const std::function<bool(const TextPieceWriter&)>& makeText) {
  try {
    return makeText([file](std::string_view piece) { return writeWhole(file, withCrLf(piece)); });
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

std::wstring temporaryPathFor(const std::wstring& target, std::uint64_t number) {
  static const wchar_t kLetters[] = L"0123456789abcdefghijklmnopqrstuvwxyz";
  // In the target's folder under a short name of the tool's own, so that a
  // target whose name takes the 255 units a name may have can be written.
  const std::size_t separator = target.find_last_of(L"\\/");
  std::wstring path = target.substr(0, separator == std::wstring::npos ? 0 : separator + 1);
  path += L".photocheck-";
  for (int i = 0; i < 6; ++i) {
    path += kLetters[number % 36];
    number /= 36;
  }
  return path;
}

bool replaceFileByPiecesWith(const std::string& path,
                             const std::function<bool(const TextPieceWriter&)>& makeText,
                             RandomSource random) {
  const std::wstring target = nativePathOf(path);
  if (target.empty()) return false;
  std::wstring temporary;
  const HANDLE file = createTemporary(target, random, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Marked for deletion from its start: a run killed before the rename
  // leaves no temporary file behind.
  const bool marked = markForDeletion(file, true);
  if (!writeMadeText(file, makeText) || !::FlushFileBuffers(file)) {
    ::CloseHandle(file);
    if (!marked) ::DeleteFileW(temporary.c_str());
    return false;
  }
  return moveOver(file, marked, temporary, target);
}

bool replaceFileWith(const std::string& path, const std::string& text, RandomSource random) {
  return replaceFileByPiecesWith(
      path, [&text](const TextPieceWriter& write) { return write(text); }, random);
}

bool replaceFileByPieces(const std::string& path,
                         const std::function<bool(const TextPieceWriter&)>& makeText) {
  return replaceFileByPiecesWith(path, makeText, systemRandom);
}

}  // namespace platform
