// What the tool's output looks like on the platform the tests run on. The
// platform decides two things: the byte that joins paths, and how a line end
// reaches a pipe or a file written in text mode (LF on POSIX, CR LF on
// Windows). Tests state their expectations with '\n' and kSep and let these
// helpers turn them into the platform's bytes.
#ifndef PHOTOCHECK_TESTS_SUPPORT_PLATFORM_TEXT_H
#define PHOTOCHECK_TESTS_SUPPORT_PLATFORM_TEXT_H

#include <string>
#include <string_view>

#ifdef _WIN32
inline constexpr char kSep = '\\';
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr char kSep = '/';
inline constexpr std::string_view kLineEnd = "\n";
#endif

// `text` with each line feed as the platform's text-mode line end: the bytes
// a text-mode stream (standard output, a "wt" file) stores for `text`.
inline std::string expectedConsole(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char c : text) {
    if (c == '\n') {
      bytes += kLineEnd;
    } else {
      bytes += c;
    }
  }
  return bytes;
}

#endif  // PHOTOCHECK_TESTS_SUPPORT_PLATFORM_TEXT_H
