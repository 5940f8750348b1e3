// How readWholeFile obtains a file's bytes: read or mapped, the caller sees
// the whole file; what is not a regular file is never opened.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

using platform::FileBytes;
using platform::ReadStatus;
using platform::readWholeFile;

// Bytes that differ from page to page and within a page, so a page read from
// the wrong place or a zero page shows.
std::vector<unsigned char> patternBytes(std::size_t size) {
  std::vector<unsigned char> bytes(size);
  std::uint32_t state = 0x12345678u;
  for (unsigned char& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(state >> 24);
  }
  return bytes;
}

std::vector<unsigned char> contentOf(const FileBytes& bytes) {
  return std::vector<unsigned char>(bytes.data(), bytes.data() + bytes.size());
}

TEST(ReadWholeFile, GivesEveryByteOfFilesReadAndMapped) {
  TempFolder folder;
  // Around the size where files start to be mapped, page-aligned or not, and
  // a file of several MB as the photos are.
  const std::size_t sizes[] = {
      1, 2, 4095, 4096, 30 * 1024, 256 * 1024 - 1, 256 * 1024, 256 * 1024 + 1, 5 * 1024 * 1024 + 7};
  for (std::size_t size : sizes) {
    const std::string path = folder / ("f" + std::to_string(size));
    const std::vector<unsigned char> content = patternBytes(size);
    writeFileBytes(path, content);
    FileBytes bytes;
    ASSERT_EQ(readWholeFile(path, bytes), ReadStatus::ok) << size;
    ASSERT_EQ(bytes.size(), size);
    EXPECT_TRUE(contentOf(bytes) == content) << "bytes differ for size " << size;
  }
}

TEST(ReadWholeFile, EmptyFileIsReadWithNoBytes) {
  TempFolder folder;
  writeFileBytes(folder / "empty", std::string());
  FileBytes bytes;
  EXPECT_EQ(readWholeFile(folder / "empty", bytes), ReadStatus::ok);
  EXPECT_EQ(bytes.size(), 0u);
}

TEST(ReadWholeFile, BytesOutliveMovesAndAreReleasedOnce) {
  TempFolder folder;
  const std::vector<unsigned char> content = patternBytes(3 * 1024 * 1024);
  writeFileBytes(folder / "big", content);
  FileBytes moved;
  {
    FileBytes bytes;
    ASSERT_EQ(readWholeFile(folder / "big", bytes), ReadStatus::ok);
    moved = std::move(bytes);
    EXPECT_EQ(bytes.size(), 0u);
  }
  EXPECT_TRUE(contentOf(moved) == content);
  // A second read into the same object drops the first file's bytes.
  writeFileBytes(folder / "small", std::string("abc"));
  ASSERT_EQ(readWholeFile(folder / "small", moved), ReadStatus::ok);
  EXPECT_EQ(std::string(moved.data(), moved.data() + moved.size()), "abc");
}

TEST(ReadWholeFile, MissingPathIsMissing) {
  TempFolder folder;
  FileBytes bytes;
  EXPECT_EQ(readWholeFile(folder / "absent", bytes), ReadStatus::missing);
  EXPECT_EQ(readWholeFile(folder / "absent/below", bytes), ReadStatus::missing);
#ifndef _WIN32
  ASSERT_EQ(::symlink((folder / "absent").c_str(), (folder / "dangling").c_str()), 0);
  EXPECT_EQ(readWholeFile(folder / "dangling", bytes), ReadStatus::missing);
#endif
}

TEST(ReadWholeFile, FolderIsUnreadable) {
  TempFolder folder;
  FileBytes bytes;
  EXPECT_EQ(readWholeFile(folder.path(), bytes), ReadStatus::unreadable);
}

#ifndef _WIN32
// A FIFO must be refused without being opened: a blocking open for reading
// never returns while no writer comes. The read runs in a child that an alarm
// ends, so a regression fails the test instead of hanging it.
TEST(ReadWholeFile, FifoIsUnreadableAndNotOpened) {
  TempFolder folder;
  const std::string fifo = folder / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(20);
    FileBytes bytes;
    _exit(readWholeFile(fifo, bytes) == ReadStatus::unreadable ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the read of a FIFO did not return";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ReadWholeFile, FourGiBIsUnreadableWithoutReading) {
  TempFolder folder;
  const std::string path = folder / "sparse";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(fd, 0);
  const bool sized = ::ftruncate(fd, off_t{1} << 32) == 0;
  ::close(fd);
  if (!sized) GTEST_SKIP() << "this file system cannot hold a sparse 4 GiB file";
  FileBytes bytes;
  EXPECT_EQ(readWholeFile(path, bytes), ReadStatus::unreadable);
  EXPECT_EQ(bytes.size(), 0u);
}

TEST(ReadWholeFile, UnreadableWhenItCannotBeOpened) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens any file";
  TempFolder folder;
  const std::string path = folder / "locked";
  writeFileBytes(path, std::string("abc"));
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  FileBytes bytes;
  EXPECT_EQ(readWholeFile(path, bytes), ReadStatus::unreadable);
}

// A mapped file that is shortened while its bytes are held: the pages beyond
// the new end read as zero bytes instead of ending the process with SIGBUS.
TEST(ReadWholeFile, MappedFileCutShortReadsZerosInsteadOfCrashing) {
  TempFolder folder;
  const std::string path = folder / "shrinking";
  const std::vector<unsigned char> content = patternBytes(1024 * 1024);
  writeFileBytes(path, content);
  FileBytes bytes;
  ASSERT_EQ(readWholeFile(path, bytes), ReadStatus::ok);
  ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
  EXPECT_EQ(bytes.data()[0], content[0]);
  unsigned sum = 0;
  for (std::size_t i = 8192; i < bytes.size(); i += 4096) sum += bytes.data()[i];
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(bytes.data()[bytes.size() - 1], 0);
}

#endif  // _WIN32

}  // namespace
