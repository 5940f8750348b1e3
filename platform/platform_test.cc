// Opening a listed file and reading ranges of it: what counts as missing and
// what as unreadable, and that a read never goes past what the file holds.
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

using platform::FileIdentity;
using platform::openForReading;
using platform::ReadableFile;
using platform::readAt;
using platform::ReadStatus;

// Bytes that differ from place to place, so a range read from the wrong
// offset shows.
std::vector<unsigned char> patternBytes(std::size_t size) {
  std::vector<unsigned char> bytes(size);
  std::uint32_t state = 0x12345678u;
  for (unsigned char& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(state >> 24);
  }
  return bytes;
}

ReadStatus statusOf(const std::string& path) {
  ReadableFile file;
  return openForReading(path, file);
}

TEST(OpenForReading, ReadsAnyRangeOfFilesOfEverySize) {
  TempFolder folder;
  const std::size_t sizes[] = {0,     1,     2,     4095,       4096,
                               65535, 65536, 65537, 256 * 1024, 5 * 1024 * 1024 + 7};
  for (const std::size_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string path = folder / ("f" + std::to_string(size));
    const std::vector<unsigned char> content = patternBytes(size);
    writeFileBytes(path, content);
    ReadableFile file;
    ASSERT_EQ(openForReading(path, file), ReadStatus::ok);
    ASSERT_EQ(file.size(), size);
    // {offset, length}: the whole file, its head, its last 2 bytes, a range
    // in the middle, nothing at the very end.
    const std::pair<std::size_t, std::size_t> ranges[] = {
        {0, size},
        {0, std::min<std::size_t>(size, 4)},
        {size - std::min<std::size_t>(size, 2), std::min<std::size_t>(size, 2)},
        {size / 3, size / 3},
        {size, 0}};
    for (const auto& [offset, length] : ranges) {
      std::vector<unsigned char> out(length + 1, 0xEE);
      ASSERT_TRUE(readAt(file, static_cast<std::uint32_t>(offset),
                         static_cast<std::uint32_t>(length), out.data()))
          << offset << "+" << length;
      EXPECT_TRUE(std::equal(out.begin(), out.begin() + length, content.begin() + offset));
      EXPECT_EQ(out[length], 0xEE) << "written past the range";
    }
    unsigned char past[4];
    EXPECT_FALSE(readAt(file, static_cast<std::uint32_t>(size), 1, past));
    if (size >= 2) {
      EXPECT_FALSE(readAt(file, static_cast<std::uint32_t>(size - 1), 2, past));
    }
  }
}

// Only "nothing is there" is missing; anything that may hide a photo is
// unreadable (or no regular file), so the photo is reported instead of
// passing unseen.
TEST(OpenForReading, MissingOnlyWhenNothingIsThere) {
  TempFolder folder;
  writeFileBytes(folder / "file", std::string("x"));
  EXPECT_EQ(statusOf(folder / "absent"), ReadStatus::missing);        // ENOENT
  EXPECT_EQ(statusOf(folder / "absent/below"), ReadStatus::missing);  // ENOENT
  EXPECT_EQ(statusOf(folder / "file/below"), ReadStatus::missing);    // ENOTDIR
  EXPECT_EQ(statusOf(folder.path()), ReadStatus::notRegularFile);     // a folder
#ifndef _WIN32
  ASSERT_EQ(::symlink((folder / "absent").c_str(), (folder / "dangling").c_str()), 0);
  EXPECT_EQ(statusOf(folder / "dangling"), ReadStatus::missing);
  ASSERT_EQ(::symlink("/dev/null", (folder / "device").c_str()), 0);
  EXPECT_EQ(statusOf(folder / "device"), ReadStatus::notRegularFile);
  ASSERT_EQ(::symlink("loop-b", (folder / "loop-a").c_str()), 0);  // ELOOP
  ASSERT_EQ(::symlink("loop-a", (folder / "loop-b").c_str()), 0);
  EXPECT_EQ(statusOf(folder / "loop-a"), ReadStatus::unreadable);
  EXPECT_EQ(statusOf(folder / std::string(300, 'n')), ReadStatus::unreadable);  // ENAMETOOLONG
  ReadableFile looped;
  EXPECT_EQ(openForReading(folder / "loop-a", looped), ReadStatus::unreadable);
  EXPECT_EQ(looped.error(), ELOOP);  // kept for the side files' reason
  std::string deep = folder.path();
  while (deep.size() < 5000) deep += "/d";
  EXPECT_EQ(statusOf(deep), ReadStatus::unreadable);  // ENAMETOOLONG, the whole path
#endif
}

#ifndef _WIN32
// A FIFO must be refused without being opened: a blocking open for reading
// never returns while no writer comes. The open runs in a child that an alarm
// ends, so a regression fails the test instead of hanging it.
TEST(OpenForReading, FifoIsUnreadableAndNotOpened) {
  TempFolder folder;
  const std::string fifo = folder / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(20);
    _exit(statusOf(fifo) == ReadStatus::notRegularFile ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the open of a FIFO did not return";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

#ifdef __linux__
}  // namespace

// A file system that is passed O_NONBLOCK with each read and honours it, as a
// FUSE server may: while `nonBlockingReadsRefused` is not negative, a read of
// a descriptor with O_NONBLOCK set answers EAGAIN and is counted there. This
// executable's own pread stands in front of the C library's for the code
// linked into it.
static std::atomic<int> nonBlockingReadsRefused{-1};

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  if (nonBlockingReadsRefused.load() >= 0 && (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0) {
    ++nonBlockingReadsRefused;
    errno = EAGAIN;
    return -1;
  }
  return ::syscall(SYS_pread64, fd, buffer, count, offset);
}

namespace {

// The open of a photo asks not to block (a pipe put in its place must not
// stop the run), but a regular file is read blocking: where the file system
// answers EAGAIN, the flag is cleared and the read asked again, once per
// file, so the photo reads whole. Both ways to open: listed as a file
// (opened at once), or of a type not known yet (asked first).
TEST(OpenForReading, ARegularFileIsReadBlocking) {
  TempFolder folder;
  const std::string path = folder / "photo.jpg";
  const std::vector<unsigned char> bytes = patternBytes(5000);
  writeFileBytes(path, std::string(bytes.begin(), bytes.end()));
  for (const bool listed : {true, false}) {
    SCOPED_TRACE(listed ? "listed as a file" : "type asked first");
    platform::FilePath photo(path);
    photo.listedAsFile = listed;
    ReadableFile file;
    ASSERT_EQ(openForReading(photo, file), ReadStatus::ok);
    nonBlockingReadsRefused = 0;
    std::vector<unsigned char> read(bytes.size());
    const bool whole = readAt(file, 0, 4000, read.data()) && readAt(file, 4000, 1000, &read[4000]);
    const int refused = nonBlockingReadsRefused.exchange(-1);
    EXPECT_TRUE(whole);
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(refused, 1) << "the second read must find the flag cleared";
  }
}
#endif

// A path the listing found to be a regular file is opened without a stat
// first. Should it have turned into a pipe or a device since, the open does
// not wait for a writer and the descriptor is closed unread; should it be
// gone, it is missing. Run in a child that an alarm ends, so a regression
// fails the test instead of hanging it.
TEST(OpenForReading, ListedFileTurnedIntoAPipeOrDeviceIsUnreadable) {
  TempFolder folder;
  for (const char* name : {"pipe.jpg", "device.jpg", "gone.jpg", "kept.jpg"}) {
    writeFileBytes(folder / name, std::string("x"));
  }
  platform::FolderListing listing;
  ASSERT_TRUE(platform::listFolder(folder.path(), listing));
  std::vector<platform::FilePath> paths;
  for (const platform::FolderEntry& entry : listing.entries) {
    paths.push_back(platform::childPath(folder.path(), entry));
    EXPECT_TRUE(paths.back().listedAsFile) << entry.name;
  }
  ASSERT_EQ(::unlink((folder / "pipe.jpg").c_str()), 0);
  ASSERT_EQ(::mkfifo((folder / "pipe.jpg").c_str(), 0666), 0);
  ASSERT_EQ(::unlink((folder / "device.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/null", (folder / "device.jpg").c_str()), 0);
  ASSERT_EQ(::unlink((folder / "gone.jpg").c_str()), 0);
  // In the listing's byte order: device, gone, kept, pipe.
  const ReadStatus expected[] = {ReadStatus::notRegularFile, ReadStatus::missing, ReadStatus::ok,
                                 ReadStatus::notRegularFile};
  ASSERT_EQ(paths.size(), 4u);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(20);
    for (std::size_t i = 0; i < paths.size(); ++i) {
      ReadableFile file;
      if (openForReading(paths[i], file) != expected[i]) _exit(static_cast<int>(i) + 1);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the open of a FIFO did not return";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the path that failed, counted from 1";
}

TEST(OpenForReading, FourGiBIsUnreadableWithoutReading) {
  TempFolder folder;
  const std::string path = folder / "sparse";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(fd, 0);
  const bool sized = ::ftruncate(fd, off_t{1} << 32) == 0;
  ::close(fd);
  if (!sized) GTEST_SKIP() << "this file system cannot hold a sparse 4 GiB file";
  EXPECT_EQ(statusOf(path), ReadStatus::unreadable);
}

// openForReading's outcome for each path, as seen by a user without special
// rights: in a child process that gives up root first where the test runs as
// root. Empty when the child could not become that user.
std::vector<int> statusesAsUnprivilegedUser(const std::vector<std::string>& paths) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  const pid_t child = ::fork();
  if (child < 0) return {};
  if (child == 0) {
    ::close(pipeEnds[0]);
    const uid_t nobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
      _exit(1);
    }
    for (const std::string& path : paths) {
      const auto status = static_cast<unsigned char>(statusOf(path));
      if (::write(pipeEnds[1], &status, 1) != 1) _exit(1);
    }
    _exit(0);
  }
  ::close(pipeEnds[1]);
  std::vector<int> statuses;
  unsigned char status;
  while (::read(pipeEnds[0], &status, 1) == 1) statuses.push_back(status);
  ::close(pipeEnds[0]);
  int exitStatus = 0;
  ::waitpid(child, &exitStatus, 0);
  if (!WIFEXITED(exitStatus) || WEXITSTATUS(exitStatus) != 0) return {};
  return statuses;
}

// A folder on the way that may not be searched hides whether a photo is
// there (EACCES): unreadable, like a photo that may not be read.
TEST(OpenForReading, NoPermissionOnTheWayIsUnreadable) {
  TempFolder folder;
  ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
  writeFileBytes(folder / "open/readable.jpg", std::string("x"));
  writeFileBytes(folder / "open/locked.jpg", std::string("x"));
  writeFileBytes(folder / "closed/photo.jpg", std::string("x"));
  ASSERT_EQ(::chmod((folder / "open").c_str(), 0755), 0);
  ASSERT_EQ(::chmod((folder / "open/readable.jpg").c_str(), 0644), 0);
  ASSERT_EQ(::chmod((folder / "open/locked.jpg").c_str(), 0), 0);
  ASSERT_EQ(::chmod((folder / "closed").c_str(), 0), 0);

  struct Case {
    std::string path;
    ReadStatus status;
  };
  const Case cases[] = {
      {folder / "open/readable.jpg", ReadStatus::ok},  // the user can read what it may
      {folder / "open/absent.jpg", ReadStatus::missing},
      {folder / "open/locked.jpg", ReadStatus::unreadable},
      {folder / "closed/photo.jpg", ReadStatus::unreadable},
      {folder / "closed/absent.jpg", ReadStatus::unreadable},
  };
  std::vector<std::string> paths;
  for (const Case& c : cases) paths.push_back(c.path);
  const std::vector<int> statuses = statusesAsUnprivilegedUser(paths);
  ::chmod((folder / "closed").c_str(), 0755);
  if (statuses.empty()) GTEST_SKIP() << "cannot run as a user without special rights";
  ASSERT_EQ(statuses.size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(statuses[i], static_cast<int>(cases[i].status)) << paths[i];
  }
}

// A file cut short after it was opened: a read of what is gone fails, and no
// signal comes of it (nothing is mapped).
TEST(ReadAt, FileCutShortSinceItWasOpenedFailsTheRead) {
  TempFolder folder;
  const std::string path = folder / "shrinking";
  const std::vector<unsigned char> content = patternBytes(1024 * 1024);
  writeFileBytes(path, content);
  ReadableFile file;
  ASSERT_EQ(openForReading(path, file), ReadStatus::ok);
  ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
  EXPECT_EQ(file.size(), content.size());  // as it was when opened
  std::vector<unsigned char> out(8192);
  ASSERT_TRUE(readAt(file, 0, 4096, out.data()));
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 4096, content.begin()));
  EXPECT_FALSE(readAt(file, 4000, 200, out.data()));
  EXPECT_FALSE(readAt(file, 8192, 100, out.data()));
  EXPECT_FALSE(readAt(file, 0, static_cast<std::uint32_t>(content.size()), out.data()));
}

// The names of the entries of `folder`, sorted.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Both ways of the replacing write (an unnamed file linked in, a named
// temporary file) reach the folder as it was opened, however its path leads
// elsewhere since; and each takes back an earlier run's temporary file that
// nobody holds, never one that is held.
TEST(ReplaceIn, EveryStepReachesTheFolderAsOpenedAndTakesBackOnlyUnheldLeftovers) {
  const auto text = [](const platform::TextPieceWriter& write) { return write("page\n"); };
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named temporary file" : "unnamed file");
    platform::setUnnamedFilesIgnored(named);
    TempFolder root;
    ASSERT_EQ(::mkdir((root / "a").c_str(), 0755), 0);
    platform::OpenFolder folder;
    ASSERT_TRUE(platform::openFolderOf(root / "a/page.html", folder));
    ASSERT_EQ(::rename((root / "a").c_str(), (root / "b").c_str()), 0);
    ASSERT_EQ(::mkdir((root / "a").c_str(), 0755), 0);
    writeFileBytes(root / "b/.photocheck-Unheld", "whole");
    writeFileBytes(root / "b/.photocheck-IsHeld", "whole");
    const int held = ::open((root / "b/.photocheck-IsHeld").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    platform::FileIdentity written;
    EXPECT_TRUE(platform::replaceIn(folder, text, written));
    EXPECT_EQ(readFileBytes(root / "b/page.html"), "page\n");
    EXPECT_EQ(written, platform::identityOf(root / "b/page.html"));
    EXPECT_EQ(namesIn(root / "a"), std::vector<std::string>{});
    EXPECT_EQ(namesIn(root / "b"), (std::vector<std::string>{".photocheck-IsHeld", "page.html"}));
    ::close(held);
    EXPECT_TRUE(platform::replaceIn(folder, text, written));
    EXPECT_EQ(namesIn(root / "b"), std::vector<std::string>{"page.html"});
    EXPECT_TRUE(platform::removeIn(folder, written));
    EXPECT_EQ(namesIn(root / "b"), std::vector<std::string>{});
    platform::closeFolder(folder);
  }
  platform::setUnnamedFilesIgnored(false);
}

// A folder lies in another when it is that folder or below it, however a
// link on its path leads there.
TEST(ReplaceIn, AFolderLiesInTheFoldersAboveIt) {
  TempFolder root;
  ASSERT_EQ(::mkdir((root / "b").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((root / "b/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((root / "c").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((root / "b/sub").c_str(), (root / "c/link").c_str()), 0);
  platform::OpenFolder folder;
  ASSERT_TRUE(platform::openFolderOf(root / "c/link/page.html", folder));
  EXPECT_TRUE(platform::folderLiesIn(folder, platform::identityOf(root / "b/sub")));
  EXPECT_TRUE(platform::folderLiesIn(folder, platform::identityOf(root / "b")));
  EXPECT_TRUE(platform::folderLiesIn(folder, platform::identityOf(root.path())));
  EXPECT_FALSE(platform::folderLiesIn(folder, platform::identityOf(root / "c")));
  platform::closeFolder(folder);
}
#endif  // _WIN32

TEST(ReadableFile, MovesAndClosesOnce) {
  TempFolder folder;
  writeFileBytes(folder / "abc", std::string("abc"));
  ReadableFile moved;
  {
    ReadableFile file;
    ASSERT_EQ(openForReading(folder / "abc", file), ReadStatus::ok);
    moved = std::move(file);
    EXPECT_EQ(file.size(), 0u);
    unsigned char byte;
    EXPECT_FALSE(readAt(file, 0, 1, &byte));
  }
  unsigned char bytes[3];
  ASSERT_TRUE(readAt(moved, 0, 3, bytes));
  EXPECT_EQ(std::string(bytes, bytes + 3), "abc");
  moved.close();
  EXPECT_FALSE(readAt(moved, 0, 1, bytes));
}

// Two identities name one file only when each word agrees: on ReFS two
// files may share the low half of their 128-bit IDs. Nothing unknown names
// a file, not even the same unknown.
TEST(FileIdentity, OneFileOnlyWhenEveryWordAgrees) {
  const FileIdentity photo{7, 42, 3};
  const std::pair<FileIdentity, bool> cases[] = {
      {{7, 42, 3}, true},  {{7, 42, 0}, false},  // the same low half, another high half
      {{7, 42, 4}, false}, {{8, 42, 3}, false},  // another volume
      {{7, 43, 3}, false}, {{}, false},
  };
  for (const auto& [other, same] : cases) {
    SCOPED_TRACE(std::to_string(other.device) + " " + std::to_string(other.file) + " " +
                 std::to_string(other.fileHigh));
    EXPECT_EQ(photo == other, same);
    EXPECT_EQ(other == photo, same);
  }
  EXPECT_TRUE(isKnown(FileIdentity{0, 0, 1}));
  EXPECT_FALSE(isKnown(FileIdentity{}));
  EXPECT_FALSE(FileIdentity{} == FileIdentity{});
}

#ifdef __linux__
// The kept facts of a large set ask for large pages: the mapping that holds
// the block says so ("hg" among its flags in /proc/self/smaps), and the
// bytes around it are left as they were.
TEST(AdviseLargePages, MarksTheWholePagesOfTheBlock) {
  std::vector<unsigned char> block(8u << 20, 1);
  platform::adviseLargePages(block.data() + 1, block.size() - 1);
  const auto address = reinterpret_cast<std::uintptr_t>(block.data()) + block.size() / 2;
  std::ifstream smaps("/proc/self/smaps");
  if (!smaps) GTEST_SKIP() << "no /proc/self/smaps here";
  if (!std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled")) {
    GTEST_SKIP() << "this kernel has no large pages to give (no transparent_hugepage)";
  }
  std::string line;
  bool inside = false;
  std::string flags;
  while (std::getline(smaps, line)) {
    std::uintptr_t start = 0, end = 0;
    if (std::sscanf(line.c_str(), "%zx-%zx ", &start, &end) == 2) {
      inside = start <= address && address < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      flags = line;
    }
  }
  ASSERT_FALSE(flags.empty()) << "no mapping holds the block";
  EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
  EXPECT_EQ(block[0], 1);
  EXPECT_EQ(block.back(), 1);
}
#endif

}  // namespace
