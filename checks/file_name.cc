#include "checks/file_name.h"

#include "platform/platform.h"

std::string fileNameOf(const std::string& path) {
  // On POSIX a backslash is an ordinary byte of a file name, and no byte
  // starts a double-byte character.
  const bool backslashSeparates = platform::kPathSeparator == '\\';
  // Walked character by character: a lead byte takes the byte after it along.
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (platform::startsDoubleByteCharacter(byte)) {
      ++i;
    } else if (byte == '/' || (backslashSeparates && byte == '\\')) {
      nameStart = i + 1;
    }
  }
  return path.substr(nameStart);
}
