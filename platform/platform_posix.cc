// POSIX implementation of the platform layer (Linux, macOS).
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_list.h"
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
  child.listedAsFile = entry.isFile;
  return child;
}

void appendNativeName(NativeNames& /*names*/, const NativePath& /*name*/) {}

NativePath nativeNameAt(const NativeNames& /*names*/, std::size_t /*index*/) { return {}; }

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

// True when a failed call's errno is the process's own shortage: too many
// open files in the process or the system, no memory.
bool isShortage(int error) { return error == EMFILE || error == ENFILE || error == ENOMEM; }

struct DirCloser {
  DIR* dir;
  ~DirCloser() { ::closedir(dir); }
};

std::atomic<bool> listedTypesIgnored{false};

// Fills in whether an entry is a folder or a regular file. The listing's own
// type (d_type) serves where it gives one, so that a plain file or folder
// costs no request of its own; a link is followed and an entry of unknown
// type asked for, one stat each. An entry whose type cannot be found (a
// dangling link) counts as a file of unknown type.
void findEntryType(int dirFd, const struct dirent* entry, FolderEntry& listed) {
  unsigned char type = DT_UNKNOWN;
#ifdef DT_DIR
  if (!listedTypesIgnored.load(std::memory_order_relaxed)) type = entry->d_type;
#endif
  if (type == DT_UNKNOWN || type == DT_LNK) {
    struct stat st;
    if (::fstatat(dirFd, entry->d_name, &st, 0) != 0) return;
    listed.isFolder = S_ISDIR(st.st_mode);
    listed.isFile = S_ISREG(st.st_mode);
    return;
  }
  listed.isFolder = type == DT_DIR;
  listed.isFile = type == DT_REG;
}

}  // namespace

bool listFolder(const FilePath& folder, FolderListing& listing) {
  listing.entries.clear();
  listing.id = FolderId{};
  DIR* dir = ::opendir(folder.text.c_str());
  // A folder the process has no descriptor or memory left for is not a
  // folder that cannot be listed: the set's verdict must not depend on it.
  if (dir == nullptr && isShortage(errno)) throw ResourceShortage{};
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
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry listed{name, NativePath{}};
    findEntryType(fd, entry, listed);
    listing.entries.push_back(std::move(listed));
  }
  // Byte order of the names (std::string compares bytes as unsigned), so that
  // every machine lists a tree alike.
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

void setListedTypesIgnored(bool ignored) { listedTypesIgnored.store(ignored); }

void setFolderIdsIgnored(bool) {}

std::string whyFolderCannotBeListed(const FilePath& folder) {
  DIR* dir = ::opendir(folder.text.c_str());
  if (dir == nullptr) return errorText(errno);
  ::closedir(dir);
  return std::string();
}

void ReadableFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  size_ = 0;
  identity_ = FileIdentity{};
}

namespace {

FileIdentity identityOfStat(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

ReadStatus openForReading(const FilePath& path, ReadableFile& file) {
  file.close();
  file.error_ = 0;
  // An open or stat that failed: the status its errno means, noted in `file`.
  const auto failedOpen = [&file](int error, bool missing) {
    if (missing) return ReadStatus::missing;
    if (isShortage(error)) return ReadStatus::shortage;
    file.error_ = error;
    return ReadStatus::unreadable;
  };
  // A path the listing did not find to be a regular file has its type asked
  // first: a named pipe, socket or device is never opened (opening a pipe
  // for reading would block the run for good, opening a device can act on
  // it). One the listing found to be a regular file is opened at once: the
  // open and its fstat below answer both questions, one request fewer.
  struct stat st;
  if (!path.listedAsFile) {
    // Only "nothing there" is missing: a folder on the way that may not be
    // searched, a link loop or an overlong name hide a file that may well be
    // there, and a set must not pass with it unread.
    if (::stat(path.text.c_str(), &st) != 0) {
      return failedOpen(errno, errno == ENOENT || errno == ENOTDIR);
    }
    if (!S_ISREG(st.st_mode)) return ReadStatus::notRegularFile;
  }
  // Should the path have turned into something else since it was listed or
  // tested: O_NONBLOCK keeps the open of a pipe from waiting for a writer,
  // O_NOCTTY keeps a terminal from becoming the run's own, and the fstat
  // below closes anything but a regular file unread. The flag stays on the
  // regular file: readAt clears it should a read answer EAGAIN.
  const int fd = ::open(path.text.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return failedOpen(errno, path.listedAsFile && (errno == ENOENT || errno == ENOTDIR));
  }
  file.handle_ = fd;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    file.close();
    return failedOpen(error, false);
  }
  if (!S_ISREG(st.st_mode)) {
    file.close();
    return ReadStatus::notRegularFile;
  }
  if (static_cast<std::uint64_t>(st.st_size) >= kFourGiB) {
    file.close();
    file.error_ = EFBIG;
    return ReadStatus::unreadable;
  }
  file.size_ = static_cast<std::uint32_t>(st.st_size);
  file.identity_ = identityOfStat(st);
  return ReadStatus::ok;
}

bool readAt(const ReadableFile& file, std::uint32_t offset, std::uint32_t length,
            unsigned char* out) {
  if (file.handle_ < 0) return false;
  const int fd = static_cast<int>(file.handle_);
  std::uint64_t done = 0;
  bool clearedNonBlocking = false;
  while (done < length) {
    const ssize_t got = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
    if (got == 0) {  // the file ends early
      file.error_ = 0;
      return false;
    }
    if (got < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      // The file was opened with O_NONBLOCK (see openForReading). Local file
      // systems read a regular file blocking all the same, but one that is
      // passed the flag with each read (FUSE passes it on) may answer EAGAIN
      // rather than wait, which would make a good photo unreadable. The flag
      // is cleared then, once, and the read asked again: a file system that
      // ignores the flag costs no call per photo. Of the flags F_SETFL sets,
      // the open asked for O_NONBLOCK alone: setting none clears it, and
      // threads that clear it at once all set the same.
      if ((error == EAGAIN || error == EWOULDBLOCK) && !clearedNonBlocking) {
        clearedNonBlocking = true;
        if (::fcntl(fd, F_SETFL, 0) == 0) continue;
      }
      file.error_ = error;
      return false;
    }
    done += static_cast<std::uint64_t>(got);
  }
  return true;
}

namespace {

bool writeAll(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// The start of every temporary name, in the folder of the file it becomes:
// short, so that a file whose own name takes the 255 bytes a name may have
// can still be written, and the tool's own, so a stray one is recognised.
constexpr char kTemporaryPrefix[] = ".photocheck-";
constexpr std::size_t kTemporaryPrefixBytes = sizeof kTemporaryPrefix - 1;
constexpr char kNameLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kNameLetterCount = 6;

// A name that nothing is likely to hold: the prefix and six letters or
// digits, as mkstemp makes them.
std::string freshName(unsigned attempt) {
  struct timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t bits = static_cast<std::uint64_t>(now.tv_nsec) * 2654435761u ^
                       static_cast<std::uint64_t>(::getpid()) << 20 ^
                       static_cast<std::uint64_t>(now.tv_sec) ^ std::uint64_t{attempt} << 40;
  std::string name = kTemporaryPrefix;
  for (std::size_t i = 0; i < kNameLetterCount; ++i) {
    name += kNameLetters[bits % 62];
    bits /= 62;
  }
  return name;
}

// True for a name freshName could have made.
bool isTemporaryName(const char* name) {
  if (std::strncmp(name, kTemporaryPrefix, kTemporaryPrefixBytes) != 0) return false;
  const char* letters = name + kTemporaryPrefixBytes;
  if (std::strlen(letters) != kNameLetterCount) return false;
  for (std::size_t i = 0; i < kNameLetterCount; ++i) {
    if (std::strchr(kNameLetters, letters[i]) == nullptr) return false;
  }
  return true;
}

// Only a folder's identity is asked of these descriptors, and the names
// below it: search permission is enough.
#ifdef O_PATH
constexpr int kFolderLookOnly = O_PATH;
#else
constexpr int kFolderLookOnly = O_RDONLY;
#endif

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes back the temporary files that earlier runs left in the folder: a
// run killed in the instant between naming its whole file and renaming it
// leaves it there. Every writer holds an exclusive flock on its temporary
// file from its making on (the lock goes with the open file, whatever name
// it has, and ends with the process), so one whose lock can be had at once
// has no writer any more; one still held belongs to a run that goes on.
// Nothing but a regular file under such a name is ever opened or removed.
void takeBackLeftovers(int folder) {
  const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listed < 0) return;
  DIR* dir = ::fdopendir(listed);
  if (dir == nullptr) {
    ::close(listed);
    return;
  }
  std::vector<std::string> names;
  {
    DirCloser closer{dir};
    while (const struct dirent* entry = ::readdir(dir)) {
      if (isTemporaryName(entry->d_name)) names.emplace_back(entry->d_name);
    }
  }
  for (const std::string& name : names) {
    struct stat seen;
    if (::fstatat(folder, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(seen.st_mode)) {
      continue;
    }
    const int fd =
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened;
    struct stat still;
    // Locked, the name must still be the locked file's: only that is removed.
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && sameFile(opened, seen) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name.c_str(), &still, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(still, opened)) {
      ::unlinkat(folder, name.c_str(), 0);
    }
    ::close(fd);
  }
}

enum class UnnamedWrite { done, failed, notSupported };

std::atomic<bool> unnamedFilesIgnored{false};

using TextMaker = std::function<bool(const TextPieceWriter&)>;

// Has `makeText` write its pieces to `fd`. A text that runs out of memory
// while it is made is a text that could not be written: the caller then
// closes and drops its file as for any failed write.
bool writeMadeText(int fd, const TextMaker& makeText) {
  try {
    return makeText([fd](std::string_view piece) { return writeAll(fd, piece); });
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Gives the unnamed file open as `fd` the name `name` in `folder`; linkat
// never follows or replaces what stands at its new name.
bool linkUnnamedFile(int fd, int folder, const std::string& name) {
  // Linking a descriptor by its /proc name with AT_SYMLINK_FOLLOW needs no
  // privilege (linkat with AT_EMPTY_PATH does, on most kernels): that is
  // tried only where there is no /proc.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
#ifdef AT_EMPTY_PATH
  if (errno == ENOENT) return ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0;
#endif
  return false;
}

// Writes the text into a file without a name in the folder (O_TMPFILE) and
// gives it a name only once it is whole: a run killed before that leaves
// nothing behind, the kernel drops the unnamed file with the process. The
// whole file is then linked in under a fresh name and renamed over the
// target.
UnnamedWrite replaceThroughUnnamedFile(const OpenFolder& folder, const TextMaker& makeText,
                                       FileIdentity& written) {
#ifdef O_TMPFILE
  if (unnamedFilesIgnored.load(std::memory_order_relaxed)) return UnnamedWrite::notSupported;
  const int dir = static_cast<int>(folder.handle);
  const int fd = ::openat(dir, folder.prefix.empty() ? "." : folder.prefix.c_str(),
                          O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) {
    // A file system without unnamed files says so in one of these ways.
    return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? UnnamedWrite::notSupported
                                                                     : UnnamedWrite::failed;
  }
  // Locked before it has a name, so that no other run takes it back (see
  // takeBackLeftovers); nobody else can open it yet, so this never waits. A
  // file system without locks has none for the others either.
  ::flock(fd, LOCK_EX);
  struct stat st;
  if (!writeMadeText(fd, makeText) || ::fsync(fd) != 0 || ::fstat(fd, &st) != 0) {
    ::close(fd);  // the unnamed file goes with its descriptor
    return UnnamedWrite::failed;
  }
  std::string temporary;
  bool linked = false;
  for (unsigned attempt = 0; attempt < 100 && !linked; ++attempt) {
    temporary = folder.prefix + freshName(attempt);
    linked = linkUnnamedFile(fd, dir, temporary);
    if (!linked && errno != EEXIST) break;
  }
  if (!linked) {
    ::close(fd);
    // No /proc, or no name was free: the older way may still do.
    return UnnamedWrite::notSupported;
  }
  // renameat replaces whatever stands at the name, a link included, and
  // never writes through it. Between the two the whole file stands under its
  // temporary name, locked: a run killed in that instant leaves it there for
  // the next write into this folder to take back.
  const bool renamed = ::renameat(dir, temporary.c_str(), dir, folder.name.c_str()) == 0;
  if (!renamed) ::unlinkat(dir, temporary.c_str(), 0);
  ::close(fd);  // written and synced: nothing is left to fail
  if (renamed) written = identityOfStat(st);
  return renamed ? UnnamedWrite::done : UnnamedWrite::failed;
#else
  (void)folder;
  (void)makeText;
  (void)written;
  return UnnamedWrite::notSupported;
#endif
}

// Creates a file of this call's own under a fresh name in the folder,
// exclusively (nothing planted in a shared output folder, a link, a pipe, a
// folder, another run's temporary file, is ever opened or written through),
// and locks it. -1 when none can be made.
int createNamedTemporary(int dir, const std::string& prefix, std::string& temporary) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    temporary = prefix + freshName(attempt);
    const int fd = ::openat(dir, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Another run may have taken the fresh file back in the instant before
    // the lock (it holds the lock then, or the name is gone or another's):
    // another name then. Where the file system has no locks, nobody has.
    const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    struct stat own;
    struct stat named;
    if (!busy && ::fstat(fd, &own) == 0 &&
        ::fstatat(dir, temporary.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(own, named)) {
      return fd;
    }
    ::close(fd);
  }
  return -1;
}

// The way for a file system without unnamed files: the text goes to a named
// temporary file of this run's own, which a run killed while writing leaves
// behind (until the next write into the folder takes it back).
bool replaceThroughNamedFile(const OpenFolder& folder, const TextMaker& makeText,
                             FileIdentity& written) {
  const int dir = static_cast<int>(folder.handle);
  std::string temporary;
  const int fd = createNamedTemporary(dir, folder.prefix, temporary);
  if (fd < 0) return false;
  // Made 0600; the file gets the usual 0644 less the umask.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st;
  bool ok = ::fchmod(fd, 0644 & ~mask) == 0 && writeMadeText(fd, makeText) && ::fsync(fd) == 0 &&
            ::fstat(fd, &st) == 0;
  // Renamed while still open, so that the lock holds until it has its name.
  if (ok && ::renameat(dir, temporary.c_str(), dir, folder.name.c_str()) != 0) ok = false;
  if (!ok) ::unlinkat(dir, temporary.c_str(), 0);
  ::close(fd);  // written and synced
  if (ok) written = identityOfStat(st);
  return ok;
}

// True when the link at `name` in `dir` may be replaced: it leads to a
// regular file or to nothing. One that leads to what would be refused
// itself (a folder, a pipe, a device, a socket), or to a process's
// descriptor (/dev/stdout, /proc/<pid>/fd/N: whatever that process has
// open, a terminal, a pipe, a file of the caller's), is not. Each link on
// the way is looked at.
bool linkMayBeReplaced(int dir, const std::string& name) {
  std::string hop = name;  // below `dir`, or absolute
  for (int i = 0; i < 40; ++i) {
    struct stat st;
    if (::fstatat(dir, hop.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (!S_ISLNK(st.st_mode)) return S_ISREG(st.st_mode);
    // A process's descriptor is a link of the kernel's whose mode says how
    // it was opened (lr-x------); every link a user makes has them all.
    if ((st.st_mode & 0777) != 0777) return false;
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
    const ssize_t got = ::readlinkat(dir, hop.c_str(), target.data(), target.size());
    if (got <= 0 || static_cast<std::size_t>(got) >= target.size()) return true;
    std::string next(target.data(), static_cast<std::size_t>(got));
    if (next.front() != '/') {
      const std::size_t slash = hop.rfind('/');
      if (slash != std::string::npos) next = hop.substr(0, slash + 1) + next;
    }
    hop = std::move(next);
  }
  return true;  // a loop leads to nothing
}

}  // namespace

bool openFolderOf(const std::string& path, OpenFolder& folder) {
  folder = OpenFolder{};
  const std::size_t slash = path.rfind('/');
  const std::string folderPath = slash == std::string::npos ? "."
                                 : slash == 0               ? "/"
                                                            : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return false;
  int fd = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that may be written and searched but not listed.
  if (fd < 0 && errno == EACCES) {
    fd = ::open(folderPath.c_str(), kFolderLookOnly | O_DIRECTORY | O_CLOEXEC);
  }
  // The write needs one descriptor more than the folder's (its file's):
  // where the process has none to spare (a limit of a few descriptors), the
  // folder is reached by its path, as the rest of the run reaches it.
  const int spare = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
  const int error = errno;
  if (spare >= 0) ::close(spare);
  struct stat st;
  if (spare < 0) {
    if (fd >= 0) ::close(fd);
    if (!isShortage(error) || ::stat(folderPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return false;
    }
    folder.handle = AT_FDCWD;
    folder.prefix = folderPath + "/";
    folder.identity = identityOfStat(st);
    folder.name = folder.prefix + name;
    return true;
  }
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  folder.handle = fd;
  folder.identity = identityOfStat(st);
  folder.name = std::move(name);
  return true;
}

void closeFolder(OpenFolder& folder) {
  if (folder.handle >= 0) ::close(static_cast<int>(folder.handle));
  folder.handle = -1;
}

SideFileTarget sideFileTargetIn(const OpenFolder& folder, FileIdentity& identity) {
  identity = FileIdentity{};
  const int dir = static_cast<int>(folder.handle);
  struct stat st;
  if (::fstatat(dir, folder.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return SideFileTarget::nothing;
  }
  if (S_ISLNK(st.st_mode)) {
    return linkMayBeReplaced(dir, folder.name) ? SideFileTarget::link : SideFileTarget::other;
  }
  if (!S_ISREG(st.st_mode)) return SideFileTarget::other;
  identity = identityOfStat(st);
  return SideFileTarget::regularFile;
}

bool folderLiesIn(const OpenFolder& folder, const FileIdentity& outer) {
  if (folder.identity == outer) return true;
  // Up through "..", "../.." and so on from the open folder itself, so that
  // no link on its path can hide where it lies (and no descriptor is
  // needed); the top's ".." is the top again.
  const int dir = static_cast<int>(folder.handle);
  FileIdentity below = folder.identity;
  std::string up = folder.prefix + "..";
  for (int depth = 0; depth < 1024; ++depth, up += "/..") {
    struct stat st;
    if (::fstatat(dir, up.c_str(), &st, 0) != 0) return false;
    const FileIdentity id = identityOfStat(st);
    if (id == outer) return true;
    if (id == below) return false;
    below = id;
  }
  return false;
}

void setUnnamedFilesIgnored(bool ignored) { unnamedFilesIgnored.store(ignored); }

bool replaceIn(const OpenFolder& folder, const TextMaker& makeText, FileIdentity& written) {
  written = FileIdentity{};
  // Reached by its path, the folder has no descriptor to spare for them.
  if (folder.prefix.empty()) takeBackLeftovers(static_cast<int>(folder.handle));
  switch (replaceThroughUnnamedFile(folder, makeText, written)) {
    case UnnamedWrite::done:
      return true;
    case UnnamedWrite::failed:
      return false;
    case UnnamedWrite::notSupported:
      break;
  }
  return replaceThroughNamedFile(folder, makeText, written);
}

bool removeIn(const OpenFolder& folder, const FileIdentity& written) {
  const int dir = static_cast<int>(folder.handle);
  struct stat st;
  return ::fstatat(dir, folder.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         identityOfStat(st) == written && ::unlinkat(dir, folder.name.c_str(), 0) == 0;
}

FileIdentity identityOf(const FilePath& path) {
  struct stat st;
  if (::stat(path.text.c_str(), &st) != 0) return FileIdentity{};
  return identityOfStat(st);
}

void adviseLargePages(const void* begin, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  // A block of less than two large pages (2 MiB each on x86-64) gains
  // nothing, and its advice would split the heap's mapping for naught.
  if (bytes < (4u << 20)) return;
  // Only the whole pages inside the block: those around it may hold other
  // blocks of the heap.
  const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t first = (start + pageSize - 1) / pageSize * pageSize;
  const std::uintptr_t end = (start + bytes) / pageSize * pageSize;
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)begin;
  (void)bytes;
#endif
}

std::string systemErrorText(int error) { return errorText(error); }

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

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

void endOnFault(const char* /*line*/, const char* /*lineAfterVerdict*/) {}

void noteVerdictPrinted() {}

// The reading threads: each stack is a mapping of its own with one page
// below it that may not be touched (PROT_NONE), so that an overflow faults
// rather than writes over other memory.
namespace {

// ThreadSanitizer keeps some 900 KiB of its own in each thread's static TLS,
// which the C library carves from the top of a stack the caller maps: a
// thread of a build with it gets that much more.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kSanitizerStackBytes = 2 * 1024 * 1024;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr std::size_t kSanitizerStackBytes = 2 * 1024 * 1024;
#else
constexpr std::size_t kSanitizerStackBytes = 0;
#endif
#else
constexpr std::size_t kSanitizerStackBytes = 0;
#endif

void* runThreadBody(void* started) {
  const Thread& thread = *static_cast<const Thread*>(started);
  thread.body(thread.argument);
  return nullptr;
}

}  // namespace

bool startThread(Thread& thread, void (*body)(void*), void* argument) {
  static_assert(sizeof(pthread_t) <= sizeof(thread.handle), "a pthread_t fits the handle");
  thread = Thread{};
  thread.body = body;
  thread.argument = argument;
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::size_t guard = page > 0 ? static_cast<std::size_t>(page) : 4096;
  const std::size_t stackBytes = kThreadStackBytes + kSanitizerStackBytes;
  const std::size_t mapping = stackBytes + guard;
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_STACK
  flags |= MAP_STACK;
#endif
  void* stack = ::mmap(nullptr, mapping, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (stack == MAP_FAILED) return false;
  pthread_attr_t attributes;
  bool started = false;
  pthread_t id{};
  if (::mprotect(stack, guard, PROT_NONE) == 0 && ::pthread_attr_init(&attributes) == 0) {
    started =
        ::pthread_attr_setstack(&attributes, static_cast<char*>(stack) + guard, stackBytes) == 0 &&
        ::pthread_create(&id, &attributes, runThreadBody, &thread) == 0;
    ::pthread_attr_destroy(&attributes);
  }
  if (!started) {
    ::munmap(stack, mapping);
    return false;
  }
  std::memcpy(&thread.handle, &id, sizeof id);
  thread.stack = stack;
  thread.stackMapping = mapping;
  return true;
}

void joinThread(Thread& thread) {
  if (thread.stack == nullptr) return;
  pthread_t id{};
  std::memcpy(&id, &thread.handle, sizeof id);
  ::pthread_join(id, nullptr);
  // The thread has ended: nothing runs on its stack any more.
  ::munmap(thread.stack, thread.stackMapping);
  thread.stack = nullptr;
}

namespace {

struct RunCall {
  int (*run)(int, char**);
  int argc;
  char** argv;
  int status;
};

void* runCall(void* call) {
  RunCall& c = *static_cast<RunCall*>(call);
  c.status = c.run(c.argc, c.argv);
  return nullptr;
}

}  // namespace

int runWithRoomyStack(int (*run)(int, char**), int argc, char** argv) {
  // The run needs some tens of kilobytes of stack at its deepest (a photo's
  // EXIF directories, the C library's formatting); below this limit it gets a
  // thread of this size instead.
  constexpr rlim_t kRoomyStack = 1024 * 1024;
  rlimit limit{};
  if (::getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur >= kRoomyStack) {
    return run(argc, argv);
  }
  RunCall call{run, argc, argv, 1};
  pthread_attr_t attributes;
  pthread_t thread;
  bool started = false;
  if (::pthread_attr_init(&attributes) == 0) {
    started = ::pthread_attr_setstacksize(&attributes, kRoomyStack) == 0 &&
              ::pthread_create(&thread, &attributes, runCall, &call) == 0;
    ::pthread_attr_destroy(&attributes);
  }
  if (!started) return run(argc, argv);
  ::pthread_join(thread, nullptr);
  return call.status;
}

// The settings file: its path as the argument's bytes, read once.

FilePath argumentPath(int /*argc*/, const char* const* argv, int index) {
  return FilePath(argv[index]);
}

std::string argumentText(int /*argc*/, const char* const* argv, int index, std::size_t from) {
  return std::string(argv[index]).substr(from);
}

FilePath filePathOf(const std::string& text) { return FilePath(text); }

SmallFileRead readSmallFile(const FilePath& path, std::size_t limit, std::string& bytes,
                            std::string* reason) {
  bytes.clear();
  // Blocking, as any reader of a file: a named pipe's open waits for its
  // writer.
  const int fd = ::open(path.text.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (reason != nullptr) *reason = errorText(errno);
    return SmallFileRead::cannotOpen;
  }
  // Pieces on the heap (the stack of a thread may be small), one byte past
  // the limit at most, so /dev/zero or a huge file costs no more memory.
  std::vector<char> piece(16 * 1024);
  while (bytes.size() <= limit) {
    const std::size_t wanted = std::min(piece.size(), limit + 1 - bytes.size());
    const ssize_t got = ::read(fd, piece.data(), wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the end, or a read that fails (a folder) ends it
    bytes.append(piece.data(), static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (bytes.size() > limit) {
    bytes.clear();
    return SmallFileRead::tooLarge;
  }
  return SmallFileRead::ok;
}

bool pathCanBeMade(const std::string& /*text*/) { return true; }

}  // namespace platform
