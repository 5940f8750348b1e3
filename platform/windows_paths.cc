// The two forms of a Windows path (ANSI text shown, UTF-16 native reached)
// and the conversions between them.
#include "platform/windows_paths.h"

#include <windows.h>

#include <cwchar>
#include <utility>

namespace platform {

const char kPathSeparator = '\\';

std::wstring wideFromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string ansiFromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  // Under the UTF-8 code page (a Windows option) every character has its
  // bytes, and the call refuses the best-fit flag and a default character.
  const bool utf8 = ::GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* const unholdable = utf8 ? nullptr : "?";
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, unholdable, nullptr);
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, text.data(), size, ansi.data(), length, unholdable, nullptr);
  return ansi;
}

bool isLeadByte(unsigned char byte) { return ::IsDBCSLeadByteEx(CP_ACP, byte) != 0; }

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The position just after `components` more components of `path` from `at`,
// each with the separator that ends it.
std::size_t skipComponents(const std::wstring& path, std::size_t at, int components) {
  for (int i = 0; i < components; ++i) {
    while (at < path.size() && !isSeparator(path[at])) ++at;
    if (at < path.size()) ++at;
  }
  return at;
}

// The absolute form of `text` as the Windows path rules make it: relative
// parts resolved against the current folder, runs of separators and "." and
// ".." parts removed, '/' turned into '\'. Empty when it cannot be made.
std::wstring fullPathOf(const std::wstring& text) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return std::wstring();
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size it needs, its terminating zero included
  }
}

}  // namespace

std::size_t rootLength(const std::wstring& path) {
  if (startsWith(path, L"\\\\?\\UNC\\") || startsWith(path, L"\\\\.\\UNC\\")) {
    return skipComponents(path, 8, 2);
  }
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    // "\\server\share\", or "\\?\C:\" and "\\.\C:\", whose first two
    // components are the prefix and the drive.
    return skipComponents(path, 2, 2);
  }
  if (path.size() >= 2 && path[1] == L':') {
    return (path.size() >= 3 && isSeparator(path[2])) ? 3 : 2;
  }
  if (!path.empty() && isSeparator(path[0])) return 1;
  return 0;
}

std::wstring nativePathOf(const std::wstring& text) {
  if (startsWith(text, L"\\\\?\\")) return text;
  // With a separator after it the text names the folder a joined name would
  // be found in: the C runtime saw "<text>\name" and "<text>\*.*" too.
  std::wstring full = fullPathOf(text + L'\\');
  if (full.empty()) return std::wstring();
  if (full.size() > rootLength(full) && isSeparator(full.back())) full.pop_back();
  if (startsWith(full, L"\\\\.\\")) return full;  // a device path: no prefix
  if (startsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring nativePathOf(const std::string& text) { return nativePathOf(wideFromAnsi(text)); }

std::wstring reachOf(const FilePath& path) {
  return path.native.empty() ? nativePathOf(path.text) : path.native;
}

std::wstring joinNative(const std::wstring& folder, const std::wstring& name) {
  std::wstring joined;
  joined.reserve(folder.size() + 1 + name.size());
  joined = folder;
  if (joined.empty() || joined.back() != L'\\') joined += L'\\';
  joined += name;
  return joined;
}

FilePath::FilePath(std::string shownText)
    : text(std::move(shownText)), native(nativePathOf(text)) {}

FilePath childPath(const FilePath& folder, const FolderEntry& entry) {
  FilePath child;
  child.text.reserve(folder.text.size() + 1 + entry.name.size());
  child.text = folder.text;
  child.text += kPathSeparator;
  child.text += entry.name;
  child.native =
      joinNative(reachOf(folder), entry.native.empty() ? wideFromAnsi(entry.name) : entry.native);
  return child;
}

}  // namespace platform
