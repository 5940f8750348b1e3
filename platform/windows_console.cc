// What Windows standard output is read as, and the text forms it takes: a
// console is written in UTF-16 through WriteConsoleW, so every character
// shows whatever the console's code page; names come from their exact UTF-16
// form, the user's texts from the ANSI code page.
#include "platform/windows_console.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "platform/windows_paths.h"

namespace platform {

namespace {

HANDLE standardOutput() { return ::GetStdHandle(STD_OUTPUT_HANDLE); }

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

std::wstring wideFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::string utf8FromWide(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::wstring wideConsoleText(const std::string& utf8) {
  const std::wstring wide = wideFromUtf8(utf8);
  std::wstring text;
  text.reserve(wide.size() + 2);
  for (const wchar_t c : wide) {
    if (c == L'\n') text += L'\r';
    text += c;
  }
  return text;
}

StandardOutput standardOutputKind() {
  return isConsole(standardOutput()) ? StandardOutput::wideConsole : StandardOutput::bytes;
}

bool utf8OutputRequested() {
  // Read from the wide environment: the ANSI copy could be a best-fit look-alike.
  wchar_t value[8] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"PHOTOCHECK_CHARSET", value, 8);
  if (length != 5) return false;
  const wchar_t wanted[] = L"utf-8";
  for (int i = 0; i < 5; ++i) {
    wchar_t c = value[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != wanted[i]) return false;
  }
  return true;
}

namespace {

// The path the environment variable `name` holds, read as UTF-16 (see
// shownTextOfExactPath); empty when it is not set or empty.
std::string pathFromEnvironment(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::string();
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value.empty() ? std::string() : shownTextOfExactPath(value);
}

}  // namespace

std::string htmlPagePath() { return pathFromEnvironment(L"PHOTOCHECK_HTML"); }

std::string geoJsonPath() { return pathFromEnvironment(L"PHOTOCHECK_GEOJSON"); }

std::string groundHeightText() { return pathFromEnvironment(L"PHOTOCHECK_GROUND_M"); }

std::string utf8FromSystemText(const std::string& text) { return utf8FromWide(wideFromAnsi(text)); }

std::string utf8NameOf(const FilePath& path) {
  const std::wstring whole = path.native.empty() ? wideFromAnsi(path.text) : path.native;
  const std::size_t last = whole.find_last_of(L"\\/");
  return utf8FromWide(last == std::wstring::npos ? whole : whole.substr(last + 1));
}

bool startsDoubleByteCharacter(unsigned char byte) { return isLeadByte(byte); }

bool writeStandardStream(StandardStream stream, std::string_view bytes) {
  std::FILE* const file = stream == StandardStream::output ? stdout : stderr;
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
}

bool standardOutputIsTerminal() { return isConsole(standardOutput()); }

bool writeWideConsole(const std::string& utf8) {
  const HANDLE console = standardOutput();
  if (!isConsole(console)) return false;
  const std::wstring text = wideConsoleText(utf8);
  std::size_t done = 0;
  while (done < text.size()) {
    // In pieces: an old console refuses one write of more than 64 KiB.
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
    DWORD written = 0;
    if (!::WriteConsoleW(console, text.data() + done, piece, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace platform
