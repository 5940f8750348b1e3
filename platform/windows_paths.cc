// The two forms of a Windows path (ANSI text shown, UTF-16 native reached)
// and the conversions between them.
#include "platform/windows_paths.h"

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/path_list.h"

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

namespace {

struct ExactPaths {
  std::atomic<bool> any{false};
  std::mutex lock;
  std::vector<std::pair<std::string, std::wstring>> byShownText;
};

ExactPaths& exactPaths() {
  static ExactPaths paths;
  return paths;
}

}  // namespace

std::string shownTextOfExactPath(const std::wstring& exact) {
  std::string shown = ansiFromWide(exact);
  if (wideFromAnsi(shown) == exact) return shown;
  ExactPaths& paths = exactPaths();
  const std::lock_guard<std::mutex> hold(paths.lock);
  paths.byShownText.emplace_back(shown, exact);
  paths.any.store(true);
  return shown;
}

std::wstring wideOfPathText(const std::string& text) {
  ExactPaths& paths = exactPaths();
  if (paths.any.load()) {
    const std::lock_guard<std::mutex> hold(paths.lock);
    for (const auto& [shown, exact] : paths.byShownText) {
      if (shown == text) return exact;
    }
  }
  return wideFromAnsi(text);
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

namespace {

bool isDotOrBlank(wchar_t c) { return c == L'.' || c == L' '; }

// `text` with the trailing dots and blanks of each name after its root
// removed ("." and ".." stay). Win32 removes them from the last name of a
// path; a path made one folder after another ("o.\sub..") has had each of
// its names last once.
std::wstring withoutTrailingDotsAndBlanks(const std::wstring& text) {
  const std::size_t root = rootLength(text);
  std::wstring result = text.substr(0, root);
  std::size_t at = root;
  while (at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    std::wstring name = text.substr(at, end - at);
    if (name != L"." && name != L"..") {
      while (!name.empty() && isDotOrBlank(name.back())) name.pop_back();
    }
    result += name;
    if (end < text.size()) result += text[end];
    at = end + 1;
  }
  return result;
}

// The extended form of the full path `full`; empty when `full` is empty or
// the result would be too long for any call.
std::wstring extendedOf(const std::wstring& full) {
  if (full.empty()) return std::wstring();
  std::wstring native;
  if (startsWith(full, L"\\\\.\\")) {
    native = full;  // a device path: no prefix
  } else if (startsWith(full, L"\\\\")) {
    native = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    native = L"\\\\?\\" + full;
  }
  return native.size() > kLongestPath ? std::wstring() : native;
}

}  // namespace

bool isDeviceName(const std::wstring& native) {
  if (!startsWith(native, L"\\\\.\\")) return false;
  for (std::size_t i = 4; i < native.size(); ++i) {
    if (isSeparator(native[i])) return false;
  }
  return true;
}

std::wstring nativePathOf(const std::wstring& text) {
  if (startsWith(text, L"\\\\?\\")) return text;
  const std::wstring typed = withoutTrailingDotsAndBlanks(text);
  // Win32 takes a device name (con, nul, COM1, CONIN$, "con.txt") as the
  // device wherever it stands last, also before a trailing separator.
  if (!startsWith(typed, L"\\\\.\\")) {
    std::wstring last = typed;
    while (last.size() > rootLength(last) && isSeparator(last.back())) last.pop_back();
    if (!last.empty()) {
      const std::wstring full = fullPathOf(last);
      if (isDeviceName(full)) return full;
    }
  }
  // With a separator after it the text names the folder a joined name would
  // be found in: the C runtime saw "<text>\name" and "<text>\*.*" too.
  std::wstring full = fullPathOf(typed + L'\\');
  if (full.size() > rootLength(full) && isSeparator(full.back())) full.pop_back();
  return extendedOf(full);
}

std::wstring nativeFilePathOf(const std::wstring& text) {
  if (startsWith(text, L"\\\\?\\")) return text.size() > kLongestPath ? std::wstring() : text;
  return text.empty() ? std::wstring() : extendedOf(fullPathOf(text));
}

std::wstring nativePathOf(const std::string& text) { return nativePathOf(wideOfPathText(text)); }

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
  const std::wstring name = entry.native.empty() ? wideFromAnsi(entry.name) : entry.native;
  // A name holding a separator (a foreign file system's "x\y.jpg") joined to
  // its folder would name another file, or none.
  child.reachable = folder.reachable && name.find_first_of(L"\\/") == std::wstring::npos;
  const std::wstring reach = reachOf(folder);
  if (!reach.empty()) child.native = joinNative(reach, name);
  return child;
}

void appendNativeName(NativeNames& names, const NativePath& name) {
  // Offsets are 32-bit, as those of the shown names.
  if (name.size() > std::numeric_limits<std::uint32_t>::max() - names.units.size()) {
    throw ResourceShortage{};
  }
  const auto start = static_cast<std::uint32_t>(names.units.size());
  names.units += name;
  names.starts.push_back(start);
}

NativePath nativeNameAt(const NativeNames& names, std::size_t index) {
  const std::size_t end =
      index + 1 < names.starts.size() ? names.starts[index + 1] : names.units.size();
  return names.units.substr(names.starts[index], end - names.starts[index]);
}

bool pathCanBeMade(const std::string& text) { return !nativePathOf(text).empty(); }

}  // namespace platform
