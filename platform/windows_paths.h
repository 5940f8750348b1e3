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

// Length of the part of `path` that names a root and is never created or cut:
// "C:" or "C:\" (a drive), "\" (the current drive's root), "\\server\share\"
// (a network share), "\\?\C:\" and "\\.\C:\" (a drive under a prefix), and
// "\\?\UNC\server\share\" (a share under the prefix).
std::size_t rootLength(const std::wstring& path);

// The extended-form absolute path of a user's path text: the folder the text
// names when a name is joined to it with '\' (so "C:" is the drive's root,
// an empty text the current drive's root, and a trailing blank stays as the
// C runtime kept it before a separator). A text already in the "\\?\" form
// is taken as it stands.
std::wstring nativePathOf(const std::wstring& text);
std::wstring nativePathOf(const std::string& text);

// The path the Windows calls take for `path`: its native path, or the one made
// from its text where it has none.
std::wstring reachOf(const FilePath& path);

// `folder`, a '\' unless `folder` already ends in one, and `name`.
std::wstring joinNative(const std::wstring& folder, const std::wstring& name);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_WINDOWS_PATHS_H
