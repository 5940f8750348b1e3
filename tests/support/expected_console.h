// What a test expects the tool to print and to write, in one place.
//
// The platform decides two things about the bytes: the byte that joins
// paths, and how a line end reaches a pipe or a file written in text mode (LF
// on POSIX, CR LF on Windows). Tests state their expectations with '\n' and
// kSep and let expectedConsole() turn them into the platform's bytes.
//
// The builders in namespace e2e spell out the pieces of a run's console and
// of error.json from the texts of console/console_texts.h.
#ifndef PHOTOCHECK_TESTS_SUPPORT_EXPECTED_CONSOLE_H
#define PHOTOCHECK_TESTS_SUPPORT_EXPECTED_CONSOLE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_texts.h"

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

// The reverse: console bytes with each platform line end as a line feed.
inline std::string asLineFeeds(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes.compare(i, kLineEnd.size(), kLineEnd) == 0) {
      text += '\n';
      i += kLineEnd.size() - 1;
    } else {
      text += bytes[i];
    }
  }
  return text;
}

namespace e2e {

// A check's start line, its image count line and one header line per image.
inline std::string checkStart(const char* startLine, const char* header, std::size_t images) {
  std::string text =
      std::string(startLine) + "\n\n" + texts::kImageCount + std::to_string(images) + "\n";
  for (std::size_t i = 1; i <= images; ++i) text += header + std::to_string(i) + "\n";
  return text;
}

// A group's key line, its count line and an empty line.
inline std::string listing(const std::string& key, std::size_t count) {
  return key + "\n" + std::to_string(count) + "\n\n";
}

// The report of one group: its count, then each image's number and name.
inline std::string groupReport(const std::vector<std::string>& names) {
  std::string text = texts::kGroupErrorCount + std::to_string(names.size()) + "\n";
  for (std::size_t n = 0; n < names.size(); ++n) {
    text += texts::kErrorImageNumber + std::to_string(n + 1) + "\n" + texts::kErrorImageName +
            names[n] + "\n";
  }
  return text;
}

// The last console line of `out`, without its line end.
inline std::string lastLine(const std::string& out) {
  std::string text = out;
  if (text.size() >= kLineEnd.size() &&
      text.compare(text.size() - kLineEnd.size(), kLineEnd.size(), kLineEnd) == 0) {
    text.resize(text.size() - kLineEnd.size());
  }
  const std::size_t end = text.rfind(kLineEnd);
  return end == std::string::npos ? text : text.substr(end + kLineEnd.size());
}

// One group of error.json, names written as given (already escaped).
inline std::string jsonGroup(int code, const char* description,
                             const std::vector<std::string>& names) {
  std::string images;
  for (const std::string& name : names) images += (images.empty() ? "\"" : ",\"") + name + "\"";
  return "{\"errcode\":" + std::to_string(code) + ",\"error_des\":\"" + description +
         "\",\"images\":[" + images + "]}";
}

inline std::string jsonReport(const std::vector<std::string>& groups) {
  std::string joined;
  for (const std::string& group : groups) joined += (joined.empty() ? "" : ",") + group;
  return "{\"errors\":[" + joined + "]}";
}

}  // namespace e2e

#endif  // PHOTOCHECK_TESTS_SUPPORT_EXPECTED_CONSOLE_H
