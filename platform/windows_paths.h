// What the Windows platform files share: the two text forms of a path and
// the conversions between them.
//
// The user's texts (settings values, the image list's paths, console lines,
// error.json) are bytes of the ANSI code page. The Windows calls take UTF-16
// paths in the extended form "\\?\C:\..." or "\\?\UNC\server\share\...", to
// which no length limit applies and in which a name is taken exactly as it
// stands (a trailing dot or blank stays, nothing is looked up in the code
// page). A text is turned into UTF-16 whole before anything looks at its
// separators, so a double-byte character whose second byte is 0x5C (the
// byte of '\') is never cut.
#ifndef PHOTOCHECK_PLATFORM_WINDOWS_PATHS_H
#define PHOTOCHECK_PLATFORM_WINDOWS_PATHS_H

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace platform {

// ANSI code page bytes as UTF-16, converted whole (as every ANSI Windows call
// converts its arguments).
std::wstring wideFromAnsi(const std::string& text);

// UTF-16 as ANSI code page bytes. A character the code page cannot hold
// becomes '?', never a look-alike ("best fit"): Windows would show U+014C 'O
// with macron' as 'O', a full-width asterisk as '*' and a full-width reverse
// solidus as '\', which would name another file or even another folder.
std::string ansiFromWide(const std::wstring& text);

// Paths the environment gives (PHOTOCHECK_HTML) are read as UTF-16: the ANSI
// copy of a variable holds a best-fit look-alike for each character the code
// page lacks (under code page 1252 a full-width "s" becomes "s", a full-width
// reverse solidus a '\'), which would name another file or folder. The run
// passes the path around as its shown text (ANSI, '?' for such characters);
// `shownTextOfExactPath` gives that text and remembers which UTF-16 path it
// stands for, and `wideOfPathText` gives every path call that takes the text
// the exact path back. ('?' is never part of a Windows name, so no other
// path text can be taken for a remembered one.)
std::string shownTextOfExactPath(const std::wstring& exact);
std::wstring wideOfPathText(const std::string& text);

// Length of the part of `path` that names a root and is never created or cut:
// "C:" or "C:\" (a drive), "\" (the current drive's root), "\\server\share\"
// (a network share), "\\?\C:\" and "\\.\C:\" (a drive under a prefix), and
// "\\?\UNC\server\share\" (a share under the prefix).
std::size_t rootLength(const std::wstring& path);

// The most UTF-16 units a path may have, its terminating zero left out.
inline constexpr std::size_t kLongestPath = 32767;

// The extended-form absolute path of a user's folder text: the folder the
// text names when a name is joined to it with '\' (so "C:" is the drive's
// root, an empty text the current drive's root). The text follows the Win32
// rules the ANSI calls apply: each name it holds loses its trailing dots and
// blanks (as the last name of a path does, and so every folder the path was
// made through), and a text whose full path is a device (con, nul, COM1,
// CONIN$, "x\con.txt") gives that device's path, "\\.\con", which no folder
// call takes (see isDeviceName). A text already in the "\\?\" form is taken
// as it stands. Empty when no path can be made: the full path would be
// longer than kLongestPath.
std::wstring nativePathOf(const std::wstring& text);
std::wstring nativePathOf(const std::string& text);

// The extended-form absolute path of a user's file text, made as the ANSI
// calls make it (the last name loses its trailing dots and blanks; a device
// name gives the device, "\\.\pipe\x" stays as it is). Empty when no path
// can be made.
std::wstring nativeFilePathOf(const std::wstring& text);

// True for the path of a device itself ("\\.\con", "\\.\COM1"): no folder,
// and nothing a folder call may open (a serial port's open can wait).
bool isDeviceName(const std::wstring& native);

// The path the Windows calls take for `path`: its native path, or the one made
// from its text where it has none.
std::wstring reachOf(const FilePath& path);

// `folder`, a '\' unless `folder` already ends in one, and `name`.
std::wstring joinNative(const std::wstring& folder, const std::wstring& name);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_WINDOWS_PATHS_H
