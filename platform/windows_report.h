// The replacing write of a report on Windows, with its source of temporary
// names open to the tests (which plant files and folders under the names a
// run will try).
#ifndef PHOTOCHECK_PLATFORM_WINDOWS_REPORT_H
#define PHOTOCHECK_PLATFORM_WINDOWS_REPORT_H

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace platform {

// A number for a temporary name; a run asks the system's random source.
using RandomSource = std::uint64_t (*)();

// The temporary file tried for `target` with `number`: in the folder of
// `target`, ".photocheck-" and six letters and digits made from `number`
// (".photocheck-k3x0qz"), short whatever the length of the target's name.
std::wstring temporaryPathFor(const std::wstring& target, std::uint64_t number);

// replaceFile and replaceFileByPieces with the temporary names drawn from
// `random`.
bool replaceFileWith(const std::string& path, const std::string& text, RandomSource random);
bool replaceFileByPiecesWith(const std::string& path,
                             const std::function<bool(const TextPieceWriter&)>& makeText,
                             RandomSource random);

// replaceIn with the temporary names drawn from `random`.
bool replaceInWith(const OpenFolder& folder,
                   const std::function<bool(const TextPieceWriter&)>& makeText, RandomSource random,
                   FileIdentity& written);

// The identity of the file open as `handle` (a HANDLE); unknown where it is
// not a disk file or the system does not say.
FileIdentity identityOfHandle(void* handle);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_WINDOWS_REPORT_H
