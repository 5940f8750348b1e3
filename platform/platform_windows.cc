// Windows implementation of the platform layer, on the C runtime: _access,
// _mkdir, the find functions, fopen; and the Win32 calls the C runtime has no
// equivalent for (the replacing rename, unmapping, a folder test).
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <locale>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '\\';
const bool kTextKeepsCarriageReturns = false;

FilePath::FilePath(std::string shownText) : text(std::move(shownText)) {}

FilePath childPath(const FilePath& folder, const FolderEntry& entry) {
  FilePath child;
  child.text = folder.text;
  child.text += kPathSeparator;
  child.text += entry.name;
  return child;
}

bool pathExists(const std::string& path) { return ::_access(path.c_str(), 0) == 0; }

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Length of the part of `path` that names a root and can never be created:
// "C:" or "C:\" (a drive), "\" (the current drive's root), or "\\server\share\"
// (a network share; also covers "\\?\C:\" and "\\.\C:\", whose first two
// components are the prefix and the drive).
std::size_t rootLength(const std::string& path) {
  const std::size_t size = path.size();
  if (size >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    std::size_t i = 2;
    for (int component = 0; component < 2; ++component) {
      while (i < size && !isSeparator(path[i])) ++i;
      if (i < size) ++i;
    }
    return i;
  }
  if (size >= 2 && path[1] == ':') return (size >= 3 && isSeparator(path[2])) ? 3 : 2;
  if (size >= 1 && isSeparator(path[0])) return 1;
  return 0;
}

bool isFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  // Create each prefix that ends just before a separator (both '\' and '/'
  // separate on Windows), then the whole path; a prefix that already exists
  // is fine. The root part is never created.
  const std::size_t root = rootLength(path);
  for (std::size_t i = root + 1; i < path.size(); ++i) {
    if (!isSeparator(path[i]) || isSeparator(path[i - 1])) continue;
    const std::string prefix = path.substr(0, i);
    if (::_mkdir(prefix.c_str()) != 0 && errno != EEXIST) return false;
  }
  if (path.size() > root && ::_mkdir(path.c_str()) != 0 && errno != EEXIST) return false;
  return isFolder(path);
}

bool listFolder(const FilePath& folderPath, FolderListing& listing) {
  const std::string& folder = folderPath.text;
  listing.entries.clear();
  // The platform gives no folder identity; a link cycle cannot be noticed.
  listing.id = FolderId{};
  const std::string pattern = folder + "\\*.*";
  _finddata64i32_t entry;
  const intptr_t handle = ::_findfirst64i32(pattern.c_str(), &entry);
  if (handle == -1) return false;
  // The find functions' own order is kept: the scan visits the entries as
  // the file system gives them.
  do {
    const std::string name = entry.name;
    const bool folderEntry = (entry.attrib & _A_SUBDIR) != 0;
    if (folderEntry && (name == "." || name == "..")) continue;
    listing.entries.push_back(FolderEntry{name, NativePath{}, folderEntry});
  } while (::_findnext64i32(handle, &entry) == 0);
  ::_findclose(handle);
  return true;
}

void FileBytes::release() {
  if (mappedLength_ != 0) ::UnmapViewOfFile(data_);
  buffer_.reset();
  data_ = nullptr;
  size_ = 0;
  mappedLength_ = 0;
}

namespace {

struct FileCloser {
  std::FILE* file;
  ~FileCloser() {
    if (file != nullptr) std::fclose(file);
  }
};

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

// Files of this size and more are mapped instead of read: the reader needs
// their head (start marker, EXIF block) and their last bytes (end marker), so
// a mapping reads only the pages it touches where a read would copy every
// byte. Smaller files cost less with one read.
constexpr std::size_t kMapFrom = 256 * 1024;

// Maps the whole of the open `file` read-only. While the view exists the
// file cannot be cut short (Windows refuses to truncate a mapped file), so
// every mapped byte stays readable. False when it cannot be mapped.
bool mapWhole(std::FILE* file, std::size_t size, FileBytes& bytes) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE) return false;
  const HANDLE mapping = ::CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return false;
  void* const view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  // The view keeps the mapping (and the file) alive on its own.
  ::CloseHandle(mapping);
  if (view == nullptr) return false;
  bytes.adoptMapping(static_cast<const unsigned char*>(view), static_cast<std::uint32_t>(size),
                     size);
  return true;
}

}  // namespace

namespace {

// True when the last name of `path` holds a '?'. No Windows file name holds
// one: the find functions put it in place of each character the ANSI code
// page cannot express (a Chinese name under code page 1252). Such a file was
// listed, so it is there, but no function taking ANSI names can open it.
bool nameLostInCodePage(const std::string& path) {
  const std::size_t lastSeparator = path.find_last_of("\\/");
  const std::size_t nameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
  return path.find('?', nameStart) != std::string::npos;
}

}  // namespace

ReadStatus readWholeFile(const FilePath& filePath, FileBytes& bytes) {
  const std::string& path = filePath.text;
  bytes.release();
  if (!pathExists(path)) {
    return nameLostInCodePage(path) ? ReadStatus::unreadable : ReadStatus::missing;
  }
  // A folder cannot be opened as a stream; a device (a name such as NUL) can,
  // and is told apart by its type below.
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return ReadStatus::unreadable;
  FileCloser closer{file};
  struct _stat64 st;
  if (::_fstat64(::_fileno(file), &st) != 0) return ReadStatus::unreadable;
  if ((st.st_mode & _S_IFMT) != _S_IFREG) return ReadStatus::unreadable;
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) >= kFourGiB) {
    return ReadStatus::unreadable;
  }

  const auto size = static_cast<std::size_t>(st.st_size);
  if (size >= kMapFrom && mapWhole(file, size, bytes)) return ReadStatus::ok;

  unsigned char* const buffer = bytes.allocateBuffer(static_cast<std::uint32_t>(size));
  std::size_t done = 0;
  while (done < size) {
    const std::size_t got = std::fread(buffer + done, 1, size - done, file);
    if (got == 0) {
      bytes.release();
      return ReadStatus::unreadable;
    }
    done += got;
  }
  return ReadStatus::ok;
}

void ReadableFile::close() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  size_ = 0;
}

ReadStatus openForReading(const FilePath& filePath, ReadableFile& file) {
  file.close();
  const std::string& path = filePath.text;
  if (::_access(path.c_str(), 0) != 0) {
    // Only "nothing there" is missing. A name the code page lost ('?') or a
    // path too long for the ANSI calls was listed a moment ago: it is there,
    // these calls just cannot reach it.
    const bool absent = errno == ENOENT && !nameLostInCodePage(path) && path.size() <= MAX_PATH;
    return absent ? ReadStatus::missing : ReadStatus::unreadable;
  }
  const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ReadStatus::unreadable;
  file.handle_ = reinterpret_cast<std::intptr_t>(handle);
  // Only a regular disk file: a device name (NUL, COM1) opens but is no photo.
  LARGE_INTEGER size;
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size) ||
      size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) >= kFourGiB) {
    file.close();
    return ReadStatus::unreadable;
  }
  file.size_ = static_cast<std::uint32_t>(size.QuadPart);
  return ReadStatus::ok;
}

bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
            unsigned char* out) {
  if (file.handle_ == -1) return false;
  const auto handle = reinterpret_cast<HANDLE>(file.handle_);
  std::uint32_t done = 0;
  while (done < length) {
    OVERLAPPED at{};
    at.Offset = offset + done;
    DWORD got = 0;
    if (!::ReadFile(handle, out + done, length - done, &got, &at) || got == 0) return false;
    done += got;
  }
  return true;
}

bool replaceFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  // Text mode, as every report file on Windows: a line feed would be stored
  // as CR LF.
  std::FILE* file = std::fopen(temporary.c_str(), "wt");
  if (file == nullptr) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (ok && std::fflush(file) != 0) ok = false;
  if (ok && ::_commit(::_fileno(file)) != 0) ok = false;
  if (std::fclose(file) != 0) ok = false;
  // A plain rename fails when the target exists; this one replaces it.
  if (ok && !::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ok = false;
  }
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

void prepareProcess() {
  // No signal comes from a closed pipe here: a failed console write simply
  // fails. A process started without standard handles has its writes fail too.
}

void useUserLocale() {
  // The mingw C++ library knows only the "C" and "POSIX" locales: it throws
  // whenever LANG or an LC_* variable names another. The classic locale then
  // stays. Even when it succeeds it yields "C" and sets the C runtime to
  // "C", so the C runtime is set to the user's default afterwards in either
  // case.
  try {
    std::locale::global(std::locale(""));
  } catch (const std::exception&) {
  }
  std::setlocale(LC_ALL, "");
}

}  // namespace platform
