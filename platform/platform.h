// The one place that touches the operating system. Everything else in
// photocheck is plain C++17 over byte strings; this header says what it needs
// of the platform, and platform_posix.cc / platform_windows.cc provide it.
//
// Paths are byte strings in the platform's own encoding (the ANSI code page
// on Windows, raw bytes on POSIX) and are used exactly as given: nothing here
// normalises a path.
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

// True when something exists at `path` (the C runtime's access test with
// mode 0).
bool pathExists(const std::string& path);

// Creates `path` and every missing parent folder. Returns true when the
// folder exists afterwards.
bool makeFolders(const std::string& path);

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// Identity of a listed folder, used to notice link cycles. `known` is false
// where the platform gives no identity (Windows).
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
bool listFolder(const std::string& folder, FolderListing& listing);

// A whole file's bytes, read into memory or mapped. Owns what it points at;
// moved, never copied.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&& other) noexcept;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  const unsigned char* data() const { return data_; }
  std::uint32_t size() const { return size_; }

  // A heap buffer of `size` bytes, left unfilled (the platform code reads the
  // file straight into it, so zeroing it first would be work done twice for
  // every photo), now owned by this object.
  unsigned char* allocateBuffer(std::uint32_t size);
  // Takes over a mapping that must be released with the platform's unmap.
  void adoptMapping(const unsigned char* address, std::uint32_t size, std::size_t mappedLength);
  void release();

 private:
  std::unique_ptr<unsigned char[]> buffer_;
  const unsigned char* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::size_t mappedLength_ = 0;  // non-zero when data_ is a mapping
};

enum class ReadStatus {
  ok,          // `bytes` holds the whole file
  missing,     // nothing exists at the path (any more)
  unreadable,  // it exists but is not a regular file, cannot be opened,
               // is 4 GiB or larger, or its read came short
};

// Obtains the whole content of the file at `path`.
ReadStatus readWholeFile(const std::string& path, FileBytes& bytes);

// Replaces the file at `path` by `text`, all or nothing: the text goes to a
// temporary file beside it, which is then renamed over `path`. On failure the
// earlier file, if any, is left as it was and no temporary file remains.
// On Windows the file is written in text mode, as any report file there.
bool replaceFile(const std::string& path, const std::string& text);

// Makes the user's default locale the program-wide one. Never throws: where
// the C++ library cannot make that locale, the classic locale stays and only
// the C runtime's locale is set.
void useUserLocale();

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_PLATFORM_H
