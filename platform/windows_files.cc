// Reading a photo on Windows: opened by its native path with CreateFileW and
// read at offsets with ReadFile, whatever its name is called in the code page.
#include <windows.h>

#include "platform/platform.h"
#include "platform/windows_file_identity.h"
#include "platform/windows_paths.h"

namespace platform {

namespace {

// After an open refused with "not found": true only when nothing at all is at
// `native`. A link whose target is gone is something (the user sees it in
// the folder), so a photo behind it counts as unreadable, not as removed.
bool nothingAt(const std::wstring& native) {
  if (::GetFileAttributesW(native.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

void ReadableFile::close() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  size_ = 0;
  identity_ = FileIdentity{};
}

ReadStatus openForReading(const FilePath& path, ReadableFile& file) {
  file.close();
  file.error_ = 0;
  if (!path.reachable) {
    file.error_ = ERROR_INVALID_NAME;
    return ReadStatus::unreadable;
  }
  const std::wstring native = reachOf(path);
  if (native.empty()) {
    file.error_ = ERROR_FILENAME_EXCED_RANGE;
    return ReadStatus::unreadable;
  }
  // A folder is refused here (it opens only with backup semantics); a device
  // opens, and is told apart by its type below.
  const HANDLE handle = ::CreateFileW(native.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    const bool notFound = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (notFound && nothingAt(native)) return ReadStatus::missing;
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return ReadStatus::notRegularFile;
    }
    file.error_ = static_cast<int>(error);
    return ReadStatus::unreadable;
  }
  file.handle_ = reinterpret_cast<std::intptr_t>(handle);
  // Only a regular disk file: a device name (NUL, COM1) opens but is no photo.
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    file.close();
    return ReadStatus::notRegularFile;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) {
    file.error_ = static_cast<int>(::GetLastError());
    file.close();
    return ReadStatus::unreadable;
  }
  const std::uint64_t size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  if (size >= kFourGiB) {
    file.close();
    file.error_ = ERROR_FILE_TOO_LARGE;
    return ReadStatus::unreadable;
  }
  file.size_ = static_cast<std::uint32_t>(size);
  // As the side files' guard asks it of a path, so that a photo is known
  // whichever way its identity was found.
  file.identity_ = identityOfOpenFile(handle);
  return ReadStatus::ok;
}

bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
            unsigned char* out) {
  if (file.handle_ == -1) return false;
  const auto handle = reinterpret_cast<HANDLE>(file.handle_);
  std::uint32_t done = 0;
  while (done < length) {
    // The position goes with each read; the handle's own file pointer is not
    // used.
    const std::uint64_t at = std::uint64_t{offset} + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    // No bytes at all: the file ends before `offset + length` (cut short).
    if (!::ReadFile(handle, out + done, length - done, &got, &position)) {
      const DWORD error = ::GetLastError();
      file.error_ = error == ERROR_HANDLE_EOF ? 0 : static_cast<int>(error);
      return false;
    }
    if (got == 0) {
      file.error_ = 0;
      return false;
    }
    done += got;
  }
  return true;
}

}  // namespace platform
