// POSIX implementation of the platform layer (Linux, macOS).
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <locale>

#include "platform/platform.h"

namespace platform {

const char kPathSeparator = '/';
const bool kTextKeepsCarriageReturns = true;

FilePath::FilePath(std::string shownText) : text(std::move(shownText)) {}

FilePath childPath(const FilePath& folder, const FolderEntry& entry) {
  FilePath child;
  child.text.reserve(folder.text.size() + 1 + entry.name.size());
  child.text = folder.text;
  child.text += kPathSeparator;
  child.text += entry.name;
  return child;
}

bool pathExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  // Create each prefix that ends just before a separator, then the whole path;
  // a prefix that already exists is fine.
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/' || path[i - 1] == '/') continue;
    const std::string prefix = path.substr(0, i);
    if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

struct DirCloser {
  DIR* dir;
  ~DirCloser() { ::closedir(dir); }
};

// Whether an entry is a folder. Links are followed; an entry whose type cannot
// be found (a dangling link) counts as a file.
bool entryIsFolder(int dirFd, const struct dirent* entry) {
#ifdef DT_DIR
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
#endif
  struct stat st;
  if (::fstatat(dirFd, entry->d_name, &st, 0) != 0) return false;
  return S_ISDIR(st.st_mode);
}

}  // namespace

bool listFolder(const FilePath& folder, FolderListing& listing) {
  listing.entries.clear();
  listing.id = FolderId{};
  DIR* dir = ::opendir(folder.text.c_str());
  if (dir == nullptr) return false;
  DirCloser closer{dir};
  const int fd = ::dirfd(dir);
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) == 0) {
    listing.id.known = true;
    listing.id.device = static_cast<std::uint64_t>(st.st_dev);
    listing.id.inode = static_cast<std::uint64_t>(st.st_ino);
  }
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    listing.entries.push_back(FolderEntry{name, NativePath{}, entryIsFolder(fd, entry)});
  }
  // Byte order of the names (std::string compares bytes as unsigned), so that
  // every machine lists a tree alike.
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

namespace {

// The SIGBUS guard. A mapped file that another process shortens while it is
// mapped makes every access beyond its new end raise SIGBUS. The guard knows
// the mapping handed out last (the check pass holds one file's bytes at a
// time) and puts a page of zero bytes in place of a page that faults there,
// so the access is retried and the reader sees zeros (a file cut short is
// then not a JPEG) instead of the process dying. A fault anywhere else goes
// to the handler that was there before.
volatile sig_atomic_t guardInstalled = 0;
unsigned char* volatile guardStart = nullptr;
volatile std::size_t guardLength = 0;
std::size_t guardPageSize = 4096;  // set before the handler is installed
struct sigaction previousBusHandler;

void onBusError(int signal, siginfo_t* info, void* context) {
  unsigned char* const start = guardStart;
  const std::size_t length = guardLength;
  const auto address = static_cast<unsigned char*>(info->si_addr);
  if (start != nullptr && address >= start && address < start + length) {
    const std::size_t offset = static_cast<std::size_t>(address - start);
    unsigned char* const page = start + (offset & ~(guardPageSize - 1));
    if (::mmap(page, guardPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      return;
    }
  }
  if ((previousBusHandler.sa_flags & SA_SIGINFO) != 0 &&
      previousBusHandler.sa_sigaction != nullptr) {
    previousBusHandler.sa_sigaction(signal, info, context);
    return;
  }
  // Default or plain handler: put it back; the retried access raises again.
  ::sigaction(SIGBUS, &previousBusHandler, nullptr);
}

void guardMapping(unsigned char* start, std::size_t length) {
  if (guardInstalled == 0) {
    guardPageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGBUS, &action, &previousBusHandler) == 0) guardInstalled = 1;
  }
  guardStart = start;
  guardLength = length;
}

void unguardMapping(const unsigned char* start) {
  if (guardStart == start) {
    guardStart = nullptr;
    guardLength = 0;
  }
}

}  // namespace

void FileBytes::release() {
  if (mappedLength_ != 0) {
    unguardMapping(data_);
    ::munmap(const_cast<unsigned char*>(data_), mappedLength_);
  }
  buffer_.reset();
  data_ = nullptr;
  size_ = 0;
  mappedLength_ = 0;
}

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads exactly `size` bytes from `fd` into `out`; false on a short read.
bool readExactly(int fd, unsigned char* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, out + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

// Files of this size and more are mapped instead of read: the reader needs
// only their head (start marker, EXIF block) and their last bytes (end
// marker), so reading them whole would cost a copy of every byte, and on a
// cold cache a disk read of every byte. Smaller files are read with one read
// call, which costs less than mapping them.
constexpr std::uint64_t kMapFrom = 256 * 1024;
// The head that is asked for at once when a file is mapped: the EXIF block
// lies within it in camera files.
constexpr std::size_t kHeadBytes = 64 * 1024;

// Maps the whole file and asks at once for its head and its last page, so
// both reads are under way together and the reader's first touches find them
// in memory: no other page is read unless the reader touches it. The mapping
// keeps the kernel's usual read-ahead, which starts only on a page that is
// not in memory: for the reader that means a file whose EXIF block is not in
// its head, which it then scans from the front, and read-ahead makes that
// scan read the file in large pieces. (Read-ahead switched off, MADV_RANDOM,
// made such a file cost one disk read per 4 KiB page: 2.5 times the floor on
// the large photo set with a cold cache, against 1.1 times with this.)
// False when the file cannot be mapped.
bool mapWhole(int fd, std::size_t size, FileBytes& bytes) {
  void* const address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (address == MAP_FAILED) return false;
  auto* const start = static_cast<unsigned char*>(address);
  ::madvise(start, std::min(size, kHeadBytes), MADV_WILLNEED);
  const std::size_t pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t lastPage = (size - 1) & ~(pageSize - 1);
  if (lastPage >= kHeadBytes) ::madvise(start + lastPage, size - lastPage, MADV_WILLNEED);
  guardMapping(start, size);
  bytes.adoptMapping(start, static_cast<std::uint32_t>(size), size);
  return true;
}

}  // namespace

ReadStatus readWholeFile(const FilePath& filePath, FileBytes& bytes) {
  const std::string& path = filePath.text;
  bytes.release();
  // One stat answers both "is it there" and "what is it". Only "nothing
  // there" is missing; any other failure hides a file that may be there.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? ReadStatus::missing : ReadStatus::unreadable;
  }
  // A named pipe, socket or device is never opened: opening a pipe for
  // reading would block the run for good, opening a device can act on it.
  if (!S_ISREG(st.st_mode)) return ReadStatus::unreadable;
  if (static_cast<std::uint64_t>(st.st_size) >= kFourGiB) return ReadStatus::unreadable;

  // O_NONBLOCK keeps the open from waiting should the path have turned into a
  // pipe since the test above; it changes nothing for a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ReadStatus::unreadable;
  FdCloser closer{fd};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::unreadable;
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (size >= kFourGiB) return ReadStatus::unreadable;

  if (size >= kMapFrom && mapWhole(fd, static_cast<std::size_t>(size), bytes)) {
    return ReadStatus::ok;
  }
  unsigned char* const buffer = bytes.allocateBuffer(static_cast<std::uint32_t>(size));
  if (!readExactly(fd, buffer, static_cast<std::size_t>(size))) {
    bytes.release();
    return ReadStatus::unreadable;
  }
  return ReadStatus::ok;
}

void ReadableFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  size_ = 0;
}

ReadStatus openForReading(const FilePath& path, ReadableFile& file) {
  file.close();
  // Only "nothing there" is missing: a folder on the way that may not be
  // searched, a link loop or an overlong name hide a file that may well be
  // there, and a set must not pass with it unread.
  struct stat st;
  if (::stat(path.text.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? ReadStatus::missing : ReadStatus::unreadable;
  }
  // A named pipe, socket or device is never opened: opening a pipe for
  // reading would block the run for good, opening a device can act on it.
  if (!S_ISREG(st.st_mode)) return ReadStatus::unreadable;
  // O_NONBLOCK keeps the open from waiting should the path have turned into a
  // pipe since the test above; it changes nothing for a regular file.
  const int fd = ::open(path.text.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ReadStatus::unreadable;
  file.handle_ = fd;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) >= kFourGiB) {
    file.close();
    return ReadStatus::unreadable;
  }
  file.size_ = static_cast<std::uint32_t>(st.st_size);
  return ReadStatus::ok;
}

bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
            unsigned char* out) {
  if (file.handle_ < 0) return false;
  const int fd = static_cast<int>(file.handle_);
  std::uint64_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // an error, or the file ends early
    done += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool replaceFile(const std::string& path, const std::string& text) {
  // A temporary file of this run's own: mkstemp makes a fresh name and creates
  // it exclusively, so nothing planted in a shared output folder (a link, a
  // pipe, a folder, another run's temporary file) is ever opened or written
  // through. It is made 0600; the report gets the usual 0644 less the umask.
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0644 & ~mask) == 0;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) ok = false;
    if (put > 0) done += static_cast<std::size_t>(put);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  // rename replaces whatever stands at `path`, a link included, and never
  // writes through it.
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

void prepareProcess() {
  ::signal(SIGPIPE, SIG_IGN);
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

void useUserLocale() {
  try {
    std::locale::global(std::locale(""));
  } catch (const std::exception&) {
    // The C++ library cannot make the user's locale (an unknown LANG): keep
    // the classic one and set the C runtime's alone.
    std::setlocale(LC_ALL, "");
  }
}

}  // namespace platform
