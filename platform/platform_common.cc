// The platform-neutral half of the platform types: folder identities and
// the moving of a ReadableFile (its closing is the platform file's).
#include "platform/platform.h"

#include <clocale>
#include <exception>
#include <locale>
#include <utility>

namespace platform {

bool operator==(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

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

void useUserLocale() {
  // The C++ library may be unable to make the user's locale (an unknown LANG
  // on Linux; the mingw library knows only "C" and throws on any other name,
  // and even when it succeeds it sets the C runtime to "C"): the classic
  // locale then stays. The C runtime's locale is set from the environment in
  // every case.
  try {
    std::locale::global(std::locale(""));
  } catch (const std::exception&) {
  }
  std::setlocale(LC_ALL, "");
}

}  // namespace platform
