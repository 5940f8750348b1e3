// What a side file (the page, the GeoJSON report) needs of Windows: what
// stands at its path, the identity of the files it must never replace, its
// path from the wide environment, and a listed file's path below the image
// folder from its exact UTF-16 names.
#include <windows.h>

#include "platform/platform.h"
#include "platform/windows_console.h"
#include "platform/windows_file_identity.h"
#include "platform/windows_paths.h"
#include "platform/windows_report.h"

namespace platform {

FileIdentity identityOfHandle(HANDLE handle) {
  return ::GetFileType(handle) == FILE_TYPE_DISK ? identityOfOpenFile(handle) : FileIdentity{};
}

namespace {

// Opens `native` for asking about it only (its attributes, no read or write
// access: what a photo's read has too, so both ask for its identity alike),
// as a folder may be; `flags` adds FILE_FLAG_OPEN_REPARSE_POINT where a link
// itself is meant. Unknown where it is no disk file or the system does not
// say.
FileIdentity identityAt(const std::wstring& native, DWORD flags) {
  if (native.empty() || isDeviceName(native)) return FileIdentity{};
  const HANDLE handle = ::CreateFileW(
      native.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileIdentity{};
  const FileIdentity identity = identityOfHandle(handle);
  ::CloseHandle(handle);
  return identity;
}

// True when the last name of the extended-form `native` holds a ':': it
// then names a stream of a file, never a file of its own. "error.json::$DATA"
// is error.json's own data and "page.html:x" a hidden part of page.html, so
// a side file there would write into a file it was never meant to replace,
// whatever that file is; no file name holds a ':' (a drive's colon comes
// before a separator).
bool namesStream(const std::wstring& native) {
  const std::size_t separator = native.find_last_of(L'\\');
  const std::size_t name = separator == std::wstring::npos ? 0 : separator + 1;
  return native.find(L':', name) != std::wstring::npos;
}

}  // namespace

FileIdentity identityOf(const FilePath& path) { return identityAt(reachOf(path), 0); }

void adviseLargePages(const void* /*begin*/, std::size_t /*bytes*/) {
  // Large pages on Windows need a privilege users rarely hold: 4 KiB pages.
}

SideFileTarget sideFileTargetIn(const OpenFolder& folder, FileIdentity& identity) {
  identity = FileIdentity{};
  // The very name the replacing write renames its file to, in the folder's
  // final path.
  const std::wstring native = joinNative(folder.path, folder.name);
  if (isDeviceName(native) || namesStream(native)) return SideFileTarget::other;
  const DWORD attributes = ::GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SideFileTarget::nothing;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return SideFileTarget::link;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return SideFileTarget::other;
  identity = identityAt(native, FILE_FLAG_OPEN_REPARSE_POINT);
  // Something that answers to its name but is no disk file (a pipe).
  return isKnown(identity) ? SideFileTarget::regularFile : SideFileTarget::other;
}

std::string utf8PathBelow(const FilePath& folder, const FilePath& path) {
  const std::wstring root = reachOf(folder);
  std::wstring whole = reachOf(path);
  if (!root.empty() && whole.size() > root.size() && whole.compare(0, root.size(), root) == 0) {
    whole.erase(0, root.size());
    if (!whole.empty() && whole.front() == L'\\') whole.erase(0, 1);
  }
  for (wchar_t& c : whole) {
    if (c == L'\\') c = L'/';
  }
  return utf8FromWide(whole);
}

}  // namespace platform
