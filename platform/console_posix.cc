// What POSIX standard output is read as, and the text forms it takes. Names
// and settings are bytes here: their UTF-8 form is the same bytes.
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/platform.h"

namespace platform {

StandardOutput standardOutputKind() {
  if (::isatty(STDOUT_FILENO) != 1) return StandardOutput::bytes;
  // The character set of the locale useUserLocale set: only a name, read
  // from the locale data already loaded; nothing is converted.
  const char* codeset = ::nl_langinfo(CODESET);
  if (codeset == nullptr) return StandardOutput::bytes;
  const bool utf8 = equalsIgnoringCase(codeset, "utf-8") || equalsIgnoringCase(codeset, "utf8");
  return utf8 ? StandardOutput::utf8Terminal : StandardOutput::bytes;
}

bool utf8OutputRequested() {
  const char* value = std::getenv("PHOTOCHECK_CHARSET");
  return value != nullptr && equalsIgnoringCase(value, "utf-8");
}

std::string htmlPagePath() {
  const char* value = std::getenv("PHOTOCHECK_HTML");
  return value == nullptr ? std::string() : std::string(value);
}

std::string geoJsonPath() {
  const char* value = std::getenv("PHOTOCHECK_GEOJSON");
  return value == nullptr ? std::string() : std::string(value);
}

std::string groundHeightText() {
  const char* value = std::getenv("PHOTOCHECK_GROUND_M");
  return value == nullptr ? std::string() : std::string(value);
}

std::string utf8PathBelow(const FilePath& folder, const FilePath& path) {
  // The scan joins the folder's text, one '/' and each name.
  const std::string& text = path.text;
  if (text.size() <= folder.text.size() || text.compare(0, folder.text.size(), folder.text) != 0) {
    return text;
  }
  return text.substr(folder.text.size() + 1);
}

std::string utf8FromSystemText(const std::string& text) { return text; }

std::string utf8NameOf(const FilePath& path) {
  const std::size_t last = path.text.find_last_of('/');
  return last == std::string::npos ? path.text : path.text.substr(last + 1);
}

bool startsDoubleByteCharacter(unsigned char) { return false; }

bool writeWideConsole(const std::string&) { return false; }

bool writeStandardStream(StandardStream stream, std::string_view bytes) {
  const int descriptor = stream == StandardStream::output ? STDOUT_FILENO : STDERR_FILENO;
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    // A non-blocking pipe that is full: wait until the reader takes some.
    // A reader that goes meanwhile wakes the wait, and the next write fails
    // (EPIPE).
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      struct pollfd writable = {descriptor, POLLOUT, 0};
      if (::poll(&writable, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return false;
  }
  return true;
}

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace platform
