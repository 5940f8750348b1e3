// Writing the report and the side files on Windows: the folder opened once,
// a temporary file of the run's own in it, renamed over the target relative
// to the folder's handle once it is written whole.
#include "platform/windows_report.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <new>
#include <string_view>

#include "platform/platform.h"
#include "platform/windows_file_identity.h"
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

// Renames the open `file` to `name`, replacing what is there: `name` in the
// open folder `root`, or a full path where `root` is null.
bool renameOpenFile(HANDLE file, HANDLE root, const std::wstring& name) {
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::string buffer(sizeof(FILE_RENAME_INFO) + nameBytes, '\0');
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = root;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy(name.begin(), name.end(), rename->FileName);
  return ::SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

// True while the open folder is still the one its final path names: the
// steps that reach it by that path (the temporary file's making, a rename
// where the file system takes no root folder) check it first, so that a
// folder moved away since, and another put in its place, is never written.
bool stillAtItsPath(const OpenFolder& folder) {
  FilePath path;
  path.native = folder.path;
  return identityOf(path) == folder.identity;
}

// The rename of the open file over the target in its folder: by its name
// relative to the folder's handle, so the file goes into the folder opened,
// whatever its path leads to by now; where the file system takes no root
// folder for a rename (Wine), by the folder's final path while that still
// names it.
bool renameIntoFolder(HANDLE file, const OpenFolder& folder) {
  if (renameOpenFile(file, reinterpret_cast<HANDLE>(folder.handle), folder.name)) return true;
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return false;
  if (!stillAtItsPath(folder)) {
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return renameOpenFile(file, nullptr, joinNative(folder.path, folder.name));
}

// Moves the written temporary file over the target in `folder`, which may
// exist (a report, or a link in its place: the link is replaced, never what
// it leads to), and closes it. While the file is `marked`, the mark is
// cleared just before each try of the rename and set again after a failed
// one, so that only the moment of the rename itself can leave the file
// behind. Where the open file cannot be renamed, it is closed and moved by
// its name.
bool moveOver(HANDLE file, bool marked, const std::wstring& temporary, const OpenFolder& folder,
              FileIdentity& written) {
  const std::wstring target = joinNative(folder.path, folder.name);
  written = identityOfHandle(file);
  for (int i = 0;; ++i) {
    // A mark that would not clear may still be set: renamed, the report
    // would go when the file closes.
    if (marked && !markForDeletion(file, false)) {
      ::CloseHandle(file);
      return false;
    }
    if (renameIntoFolder(file, folder)) return ::CloseHandle(file) != 0;
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
  for (int i = 0; stillAtItsPath(folder); ++i) {
    if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    if (!targetBusy(::GetLastError(), target) || i + 1 == kMoveTries) break;
    ::Sleep(10);
  }
  ::DeleteFileW(temporary.c_str());
  return false;
}

// True when the temporary file open as `file` was made in the open folder:
// its path was made from the folder's final path, which a folder moved
// since may no longer name (the system's final path of the file, and the
// folder still found at that path).
bool liesInFolder(HANDLE file, const OpenFolder& folder) {
  const std::wstring path = finalPathOf(file);
  const std::size_t separator = path.find_last_of(L'\\');
  if (separator == std::wstring::npos) return false;
  const std::wstring parent = path.substr(0, separator);
  std::wstring own = folder.path;
  if (!own.empty() && own.back() == L'\\') own.pop_back();
  return _wcsicmp(parent.c_str(), own.c_str()) == 0 && stillAtItsPath(folder);
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

bool openFolderOf(const std::string& path, OpenFolder& folder) {
  folder = OpenFolder{};
  const std::wstring target = nativePathOf(path);
  const std::size_t separator = target.find_last_of(L"\\/");
  if (target.empty() || separator == std::wstring::npos || separator + 1 == target.size()) {
    return false;
  }
  const std::wstring folderPath = target.substr(0, separator + 1);
  // Backup semantics: the flag without which no folder can be opened. A
  // folder that may be written but not listed is opened for less.
  HANDLE handle = INVALID_HANDLE_VALUE;
  const DWORD accesses[] = {
      FILE_TRAVERSE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_READ_ATTRIBUTES | SYNCHRONIZE};
  for (const DWORD access : accesses) {
    handle = ::CreateFileW(folderPath.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_ACCESS_DENIED) break;
  }
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    return false;
  }
  folder.handle = reinterpret_cast<std::intptr_t>(handle);
  folder.identity = identityOfHandle(handle);
  folder.path = finalPathOf(handle);
  if (folder.path.empty()) folder.path = folderPath;
  folder.name = target.substr(separator + 1);
  return true;
}

void closeFolder(OpenFolder& folder) {
  if (folder.handle != -1) ::CloseHandle(reinterpret_cast<HANDLE>(folder.handle));
  folder.handle = -1;
}

bool folderLiesIn(const OpenFolder& folder, const FileIdentity& outer) {
  if (folder.identity == outer) return true;
  // Up the folder's final path, which no junction or link is left on.
  std::wstring path = folder.path;
  const std::size_t root = rootLength(path);
  while (path.size() > root) {
    const std::size_t separator = path.find_last_of(L'\\', path.size() - 2);
    if (separator == std::wstring::npos || separator + 1 < root) break;
    path.resize(separator + 1);
    FilePath up;
    up.native = path;
    if (identityOf(up) == outer) return true;
  }
  return false;
}

bool replaceInWith(const OpenFolder& folder,
                   const std::function<bool(const TextPieceWriter&)>& makeText, RandomSource random,
                   FileIdentity& written) {
  written = FileIdentity{};
  std::wstring temporary;
  const HANDLE file = createTemporary(joinNative(folder.path, folder.name), random, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Marked for deletion from its start: a run killed before the rename
  // leaves no temporary file behind.
  const bool marked = markForDeletion(file, true);
  if (!liesInFolder(file, folder) || !writeMadeText(file, makeText) || !::FlushFileBuffers(file)) {
    ::CloseHandle(file);
    if (!marked) ::DeleteFileW(temporary.c_str());
    return false;
  }
  return moveOver(file, marked, temporary, folder, written);
}

void setUnnamedFilesIgnored(bool) {}

bool replaceIn(const OpenFolder& folder,
               const std::function<bool(const TextPieceWriter&)>& makeText, FileIdentity& written) {
  return replaceInWith(folder, makeText, systemRandom, written);
}

bool removeIn(const OpenFolder& folder, const FileIdentity& written) {
  const std::wstring path = joinNative(folder.path, folder.name);
  // The name itself, a link there included: only the very file written goes.
  const HANDLE file = ::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool removed = identityOfHandle(file) == written && markForDeletion(file, true);
  ::CloseHandle(file);
  return removed;
}

bool replaceFileByPiecesWith(const std::string& path,
                             const std::function<bool(const TextPieceWriter&)>& makeText,
                             RandomSource random) {
  OpenFolder folder;
  if (!openFolderOf(path, folder)) return false;
  FileIdentity written;
  const bool ok = replaceInWith(folder, makeText, random, written);
  closeFolder(folder);
  return ok;
}

bool replaceFileWith(const std::string& path, const std::string& text, RandomSource random) {
  return replaceFileByPiecesWith(
      path, [&text](const TextPieceWriter& write) { return write(text); }, random);
}

}  // namespace platform
