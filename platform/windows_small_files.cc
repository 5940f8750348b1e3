// The settings file on Windows: its name from the UTF-16 command line, and
// its text read once through that exact name, as the C runtime's text mode
// would give it.
#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/windows_paths.h"

namespace {

// The C runtime's parser of the UTF-16 command line, the one that made the
// ANSI argv from the ANSI command line (so the two count alike).
struct WideStartupInfo {
  int newMode;
};

}  // namespace

extern "C"
    __declspec(dllimport) int __cdecl __wgetmainargs(int* argc, wchar_t*** argv,
                                                     wchar_t*** environment, int expandWildcards,
                                                     WideStartupInfo* startup);

namespace platform {

// The system's words ("The system cannot find the file specified."), in
// English where the system has them, without the line end.
std::string systemErrorText(int code) {
  const auto error = static_cast<DWORD>(code);
  std::string text(512, '\0');
  const DWORD flags =
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
  DWORD length =
      ::FormatMessageA(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                       text.data(), static_cast<DWORD>(text.size()), nullptr);
  if (length == 0) {
    length = ::FormatMessageA(flags, nullptr, error, 0, text.data(),
                              static_cast<DWORD>(text.size()), nullptr);
  }
  if (length == 0) return "error " + std::to_string(error);
  text.resize(length);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) {
    text.pop_back();
  }
  return text;
}

namespace {

// The C runtime's text mode, applied to the bytes of a file as they come: a
// carriage return right before a line feed is dropped (also when the two
// come in different pieces), and a 0x1A byte ends the text.
struct TextMode {
  bool carriageReturnPending = false;
  bool ended = false;

  void add(const char* piece, std::size_t size, std::string& text) {
    for (std::size_t i = 0; i < size && !ended; ++i) {
      const char c = piece[i];
      if (carriageReturnPending) {
        carriageReturnPending = false;
        if (c != '\n') text += '\r';
      }
      if (c == '\x1a') {
        ended = true;
      } else if (c == '\r') {
        carriageReturnPending = true;
      } else {
        text += c;
      }
    }
  }

  void finish(std::string& text) {
    if (carriageReturnPending) text += '\r';
    carriageReturnPending = false;
  }
};

}  // namespace

namespace {

// Argument `index` of the UTF-16 command line; null where it cannot be had
// or does not match the ANSI one's count.
const wchar_t* wideArgument(int argc, int index) {
  int wideCount = 0;
  wchar_t** wide = nullptr;
  wchar_t** environment = nullptr;
  WideStartupInfo startup{0};
  if (__wgetmainargs(&wideCount, &wide, &environment, 0, &startup) < 0 || wideCount != argc ||
      wide == nullptr) {
    return nullptr;
  }
  return wide[index];
}

}  // namespace

FilePath argumentPath(int argc, const char* const* argv, int index) {
  const wchar_t* wide = wideArgument(argc, index);
  if (wide == nullptr) return filePathOf(argv[index]);
  FilePath path;
  path.text = ansiFromWide(wide);
  path.native = nativeFilePathOf(wide);
  return path;
}

std::string argumentText(int argc, const char* const* argv, int index, std::size_t from) {
  const wchar_t* wide = wideArgument(argc, index);
  if (wide == nullptr) return std::string(argv[index]).substr(from);
  const std::wstring whole(wide);
  return shownTextOfExactPath(whole.substr(std::min(from, whole.size())));
}

FilePath filePathOf(const std::string& text) {
  FilePath path;
  path.text = text;
  path.native = nativeFilePathOf(wideOfPathText(text));
  return path;
}

SmallFileRead readSmallFile(const FilePath& path, std::size_t limit, std::string& bytes,
                            std::string* reason) {
  bytes.clear();
  const std::wstring native =
      path.native.empty() ? nativeFilePathOf(wideOfPathText(path.text)) : path.native;
  if (!path.reachable || native.empty()) {
    if (reason != nullptr) {
      *reason = systemErrorText(path.reachable ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_NAME);
    }
    return SmallFileRead::cannotOpen;
  }
  // Read and write stay open to others, as the C runtime's fopen leaves them.
  const HANDLE file =
      ::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (reason != nullptr) *reason = systemErrorText(::GetLastError());
    return SmallFileRead::cannotOpen;
  }
  // Pieces on the heap (a thread's stack may be small); reading stops one
  // byte past the limit.
  std::string piece(16 * 1024, '\0');
  TextMode textMode;
  while (bytes.size() <= limit && !textMode.ended) {
    const std::size_t wanted = std::min(piece.size(), limit + 1 - bytes.size());
    DWORD got = 0;
    const BOOL ok = ::ReadFile(file, piece.data(), static_cast<DWORD>(wanted), &got, nullptr);
    // A message of a pipe that goes on in the next read; a pipe whose writer
    // has closed it (ERROR_BROKEN_PIPE) has given all its data, and any
    // other failure ends the text as its end would.
    if ((!ok && ::GetLastError() != ERROR_MORE_DATA) || got == 0) break;
    textMode.add(piece.data(), got, bytes);
  }
  textMode.finish(bytes);
  ::CloseHandle(file);
  if (bytes.size() > limit) {
    bytes.clear();
    return SmallFileRead::tooLarge;
  }
  return SmallFileRead::ok;
}

}  // namespace platform
