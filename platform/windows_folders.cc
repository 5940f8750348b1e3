// Folders on Windows: the existence test, creating the output folder and
// listing a folder with its identity, all through the UTF-16 calls.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/windows_file_identity.h"
#include "platform/windows_paths.h"

namespace platform {

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Whether a folder call may take `native`: an empty path would name the
// current drive's root ("\\*" lists it), a device is no folder.
bool usable(const std::wstring& native) { return !native.empty() && !isDeviceName(native); }

bool isFolderAt(const std::wstring& native) {
  if (!usable(native)) return false;
  const DWORD attributes = ::GetFileAttributesW(native.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates the folder `text` names; one that is there already is fine.
bool createFolder(const std::wstring& text) {
  const std::wstring native = nativePathOf(text);
  return usable(native) &&
         (::CreateDirectoryW(native.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
}

// Folders are told apart by a number this process gives each folder the
// first time it meets it, found again by the folder's full identity: the
// volume serial number and the whole 128-bit file ID (ReFS uses all of it;
// NTFS its low half) where the file system gives an ID, else its final path
// (some file systems and servers give 0 for every ID). A number then stands
// for exactly one folder, which no folding of those into 64 bits could
// promise. The folder scan runs on one thread; the lock keeps any other
// caller safe.
struct FolderNumbers {
  std::mutex lock;
  std::map<std::array<std::uint64_t, 3>, std::uint64_t> byId;
  std::map<std::wstring, std::uint64_t> byFinalPath;
  std::uint64_t next = 1;
};

FolderNumbers& folderNumbers() {
  static FolderNumbers numbers;
  return numbers;
}

std::atomic<bool> folderIdsIgnored{false};

template <typename Key>
std::uint64_t numberOf(std::map<Key, std::uint64_t>& numbers, Key key) {
  FolderNumbers& all = folderNumbers();
  const std::lock_guard<std::mutex> hold(all.lock);
  const auto found = numbers.emplace(std::move(key), all.next);
  if (found.second) ++all.next;
  return found.first->second;
}

// The volume serial number and file ID of the open folder, as
// {serial, low half, high half}; all zero where the file system gives no ID.
std::array<std::uint64_t, 3> fileIdOf(HANDLE handle) {
  if (folderIdsIgnored.load()) return {};
  const FileIdentity id = identityOfOpenFile(handle);
  if (id.file == 0 && id.fileHigh == 0) return {};
  return {id.device, id.file, id.fileHigh};
}

// The identity of the folder at `native`; unknown when it cannot be opened
// or the system gives neither an ID nor a final path. The handle follows a
// junction or a folder link to the folder it leads to, so every path to one
// folder gives one identity.
FolderId folderIdOf(const std::wstring& native) {
  FolderId id;
  // Backup semantics: the flag without which no folder can be opened.
  const HANDLE handle = ::CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return id;
  const std::array<std::uint64_t, 3> fileId = fileIdOf(handle);
  if (fileId != std::array<std::uint64_t, 3>{}) {
    id.inode = numberOf(folderNumbers().byId, fileId);
  } else if (std::wstring path = finalPathOf(handle); !path.empty()) {
    id.inode = numberOf(folderNumbers().byFinalPath, std::move(path));
  }
  id.known = id.inode != 0;
  ::CloseHandle(handle);
  return id;
}

struct FindCloser {
  HANDLE handle;
  ~FindCloser() { ::FindClose(handle); }
};

}  // namespace

bool pathExists(const std::string& path) {
  const std::wstring native = nativePathOf(path);
  return usable(native) && ::GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  // The text is walked as UTF-16, so that only a whole '\' or '/' separates:
  // create each prefix that ends just before a separator, then the whole
  // path. The root part is never created.
  const std::wstring wide = wideOfPathText(path);
  const std::size_t root = rootLength(wide);
  for (std::size_t i = root + 1; i < wide.size(); ++i) {
    if (!isSeparator(wide[i]) || isSeparator(wide[i - 1])) continue;
    if (!createFolder(wide.substr(0, i))) return false;
  }
  if (wide.size() > root && !createFolder(wide)) return false;
  return isFolderAt(nativePathOf(wide));
}

// The find functions always give each entry's attributes: nothing to ignore.
void setListedTypesIgnored(bool /*ignored*/) {}

void setFolderIdsIgnored(bool ignored) { folderIdsIgnored.store(ignored); }

std::string whyFolderCannotBeListed(const FilePath& folder) {
  const std::wstring native = reachOf(folder);
  if (!folder.reachable) return systemErrorText(ERROR_INVALID_NAME);
  if (native.empty()) return systemErrorText(ERROR_FILENAME_EXCED_RANGE);
  if (!usable(native)) return systemErrorText(ERROR_DIRECTORY);  // a device
  WIN32_FIND_DATAW entry;
  const HANDLE handle =
      ::FindFirstFileExW(joinNative(native, L"*").c_str(), FindExInfoBasic, &entry,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE) return systemErrorText(::GetLastError());
  ::FindClose(handle);
  return std::string();
}

bool listFolder(const FilePath& folder, FolderListing& listing) {
  listing.entries.clear();
  listing.id = FolderId{};
  const std::wstring native = reachOf(folder);
  if (!folder.reachable || !usable(native)) return false;
  WIN32_FIND_DATAW entry;
  const HANDLE handle =
      ::FindFirstFileExW(joinNative(native, L"*").c_str(), FindExInfoBasic, &entry,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE) return false;
  FindCloser closer{handle};
  listing.id = folderIdOf(native);
  // The find functions' own order is kept: the scan visits the entries as
  // the file system gives them. "." and ".." are told by their exact names:
  // a folder named with two full-width full stops is listed (shown as "??"
  // under code page 1252, where a best fit would have made it "..").
  do {
    const std::wstring name = entry.cFileName;
    const bool folderEntry = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folderEntry && (name == L"." || name == L"..")) continue;
    listing.entries.push_back(FolderEntry{ansiFromWide(name), name, folderEntry});
  } while (::FindNextFileW(handle, &entry));
  return true;
}

}  // namespace platform
