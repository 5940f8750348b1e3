// The Windows console's UTF-16 text, made apart from the call that writes it
// so that a test can look at it (under Wine standard output is seldom a real
// console).
#ifndef PHOTOCHECK_PLATFORM_WINDOWS_CONSOLE_H
#define PHOTOCHECK_PLATFORM_WINDOWS_CONSOLE_H

#include <string>

namespace platform {

// `utf8` as UTF-16, each line feed as CR LF (what the C runtime's text mode
// sends to a file).
std::wstring wideConsoleText(const std::string& utf8);

// UTF-16 as UTF-8; a lone surrogate (which a file name may hold) becomes
// U+FFFD.
std::string utf8FromWide(const std::wstring& wide);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_WINDOWS_CONSOLE_H
