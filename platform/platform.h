// The one place that touches the operating system. Everything else in
// photocheck is plain C++17 over byte strings; this header says what it needs
// of the platform, and platform_posix.cc / the windows_*.cc files provide it.
//
// Paths are byte strings in the platform's own encoding (the ANSI code page
// on Windows, raw bytes on POSIX) and are shown exactly as given: nothing here
// normalises a path's text. Windows reaches a path through its UTF-16 native
// form instead (see FilePath and windows_paths.h).
#ifndef PHOTOCHECK_PLATFORM_PLATFORM_H
#define PHOTOCHECK_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The byte that joins a folder and an entry name: '\\' on Windows, '/' on
// POSIX (where a backslash is an ordinary file-name byte).
extern const char kPathSeparator;

#ifdef _WIN32
// The exact path the Windows calls take: UTF-16, absolute, in the extended
// "\\?\" form (no length limit, every name taken as it stands). Empty where
// it has not been made (the calls then make it from the shown text).
using NativePath = std::wstring;

// True when `byte` begins a two-byte character of the ANSI code page (a GBK
// character under code page 936); its second byte may then be 0x5C, the byte
// of '\', without being a separator.
bool isLeadByte(unsigned char byte);
#else
// POSIX reaches a file by the very bytes it is shown with: nothing more to
// carry.
struct NativePath {};
#endif

// The path of a listed file or folder, as the tool shows it and as the
// platform reaches it.
struct FilePath {
  FilePath() = default;
  // A path from a text of the user's (a setting, a test's folder). On
  // Windows the native path is made from it here, the text converted whole.
  FilePath(std::string shownText);  // NOLINT: implicit on purpose
  FilePath(const char* shownText) : FilePath(std::string(shownText)) {}  // NOLINT

  // What the console and error.json show: the folder text as given, the
  // platform's separator and each name, in the platform's own encoding.
  std::string text;
  NativePath native;
};

// True where a file read as text still holds the carriage return of a CR LF
// line end (POSIX); the Windows C runtime's text mode has dropped it.
extern const bool kTextKeepsCarriageReturns;

// True when something exists at `path`.
bool pathExists(const std::string& path);

// Creates `path` and every missing parent folder. Returns true when the
// folder exists afterwards.
bool makeFolders(const std::string& path);

struct FolderEntry {
  // As shown, in the platform's own encoding. On Windows the ANSI code page's
  // bytes, with '?' for each character the code page cannot hold.
  std::string name;
  // On Windows the exact UTF-16 name, by which the entry is reached.
  NativePath native;
  bool isFolder = false;
};

// `folder`, the separator and the entry's name.
FilePath childPath(const FilePath& folder, const FolderEntry& entry);

// Identity of a listed folder, so that the scan lists each folder once,
// however many paths (links, junctions) lead to it: device and inode on
// POSIX, volume serial number and file ID on Windows. `known` is false where
// the platform gives none (the folder could be listed but not opened).
struct FolderId {
  bool known = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

bool operator==(const FolderId& a, const FolderId& b);

struct FolderListing {
  FolderId id;
  // Every entry but "." and "..", in the order the scan must visit them:
  // the find functions' order on Windows, ascending byte order of the names
  // on POSIX.
  std::vector<FolderEntry> entries;
};

// Lists one folder. Returns false when it cannot be listed (missing, not a
// folder, no access).
bool listFolder(const FilePath& folder, FolderListing& listing);

enum class ReadStatus {
  ok,          // the file is open
  missing,     // nothing exists at the path (any more)
  unreadable,  // it exists but is not a regular file, cannot be opened,
               // is 4 GiB or larger, or its read came short
};

// Files of this size and more are never read: lengths and offsets within a
// photo are 32-bit, and no camera writes such a file.
inline constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

// A file open for reading at any offset. Moved, never copied; closes itself.
class ReadableFile {
 public:
  ReadableFile() = default;
  ReadableFile(ReadableFile&& other) noexcept;
  ReadableFile& operator=(ReadableFile&& other) noexcept;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile();

  // The file's length when it was opened; below 4 GiB.
  std::uint32_t size() const { return size_; }
  void close();

 private:
  friend ReadStatus openForReading(const FilePath& path, ReadableFile& file);
  friend bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
                     unsigned char* out);
  std::intptr_t handle_ = -1;  // a file descriptor on POSIX, a HANDLE on Windows
  std::uint32_t size_ = 0;
};

// Opens a listed file for reading. `missing` only when nothing is there (the
// path does not exist); any other failure (no permission on a folder on the
// way, a link loop, a name too long, not a regular file, 4 GiB or more, the
// open refused) is `unreadable`, so a photo nobody could read never passes
// unnoticed.
ReadStatus openForReading(const FilePath& path, ReadableFile& file);

// Reads exactly `length` bytes at `offset` into `out`. False when they cannot
// all be read (an I/O error, or the file was cut short since it was opened).
bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
            unsigned char* out);

// Replaces the file at `path` by `text`, all or nothing: the text goes to a
// temporary file of this call's own beside it (a fresh name, created
// exclusively, so nothing planted there is followed or reused), which is then
// renamed over `path`; a link standing at `path` is replaced, never written
// through. On failure the earlier file, if any, is left as it was and no
// temporary file remains.
// On Windows the file is written in text mode, as any report file there.
bool replaceFile(const std::string& path, const std::string& text);

// Readies the process for being run from scripts and pipelines: a closed
// pipe on standard output must not kill the run (its writes fail and are
// dropped; the report and the exit status still come), and standard streams
// that were closed are opened on the null device, so that no file the run
// opens can take their place and receive console text.
void prepareProcess();

// Makes the user's default locale the program-wide one. Never throws: where
// the C++ library cannot make that locale, the classic locale stays and only
// the C runtime's locale is set.
void useUserLocale();

// The English message of the C library error number `error` (errno), the
// same in every locale: "No such file or directory" for ENOENT.
std::string errorText(int error);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_PLATFORM_H
