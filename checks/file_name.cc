#include "checks/file_name.h"

#include "platform/platform.h"

std::string fileNameOf(const std::string& path) {
#ifdef _WIN32
  // Walked character by character: a lead byte takes the byte after it along.
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (platform::isLeadByte(byte)) {
      ++i;
    } else if (byte == '\\' || byte == '/') {
      nameStart = i + 1;
    }
  }
  return path.substr(nameStart);
#else
  // On POSIX a backslash is an ordinary byte of a file name.
  const std::size_t last = path.find_last_of('/');
  return last == std::string::npos ? path : path.substr(last + 1);
#endif
}
