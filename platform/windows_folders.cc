// Folders on Windows: the existence test, creating the output folder and
// listing a folder with its identity, all through the UTF-16 calls.
#include <windows.h>

#include "platform/platform.h"
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

// The 128-bit file ID (ReFS uses all of it; NTFS only its low half) folded
// into 64 bits: the low half as it is, the high half mixed in by an odd
// multiplier, so NTFS IDs stay exact.
std::uint64_t foldedId(const FILE_ID_128& id) {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  for (int i = 7; i >= 0; --i) {
    low = (low << 8) | id.Identifier[i];
    high = (high << 8) | id.Identifier[8 + i];
  }
  return low ^ (high * 0x9E3779B97F4A7C15u);
}

// The volume serial number and file ID of the folder at `native`; unknown
// when it cannot be opened or its file system gives no ID (zero). The handle
// follows a junction or a folder link to the folder it leads to, so every
// path to one folder gives one identity.
FolderId folderIdOf(const std::wstring& native) {
  FolderId id;
  // Backup semantics: the flag without which no folder can be opened.
  const HANDLE handle = ::CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return id;
  FILE_ID_INFO full;
  BY_HANDLE_FILE_INFORMATION information;
  // The full ID where the system gives it (Windows 8 and later).
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &full, sizeof full)) {
    id.device = full.VolumeSerialNumber;
    id.inode = foldedId(full.FileId);
  } else if (::GetFileInformationByHandle(handle, &information)) {
    id.device = information.dwVolumeSerialNumber;
    id.inode = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
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
  const std::wstring wide = wideFromAnsi(path);
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
