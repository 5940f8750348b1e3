// The platform-neutral half of the file types: FileBytes (its unmapping is
// the platform file's; only the Windows file still reads whole files) and
// ReadableFile.
#include "platform/platform.h"

#include <utility>

namespace platform {

bool operator==(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

#ifdef _WIN32
FileBytes::FileBytes(FileBytes&& other) noexcept { *this = std::move(other); }

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    release();
    buffer_ = std::move(other.buffer_);
    data_ = other.data_;
    size_ = other.size_;
    mappedLength_ = other.mappedLength_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.mappedLength_ = 0;
  }
  return *this;
}

FileBytes::~FileBytes() { release(); }

unsigned char* FileBytes::allocateBuffer(std::uint32_t size) {
  release();
  buffer_.reset(new unsigned char[size]);
  data_ = size == 0 ? nullptr : buffer_.get();
  size_ = size;
  return buffer_.get();
}

void FileBytes::adoptMapping(const unsigned char* address, std::uint32_t size,
                             std::size_t mappedLength) {
  release();
  data_ = address;
  size_ = size;
  mappedLength_ = mappedLength;
}
#endif  // _WIN32

ReadableFile::ReadableFile(ReadableFile&& other) noexcept { *this = std::move(other); }

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    size_ = other.size_;
    other.handle_ = -1;
    other.size_ = 0;
  }
  return *this;
}

ReadableFile::~ReadableFile() { close(); }

}  // namespace platform
