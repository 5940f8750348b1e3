// The replacing write of a report on Windows, with its source of temporary
// names open to the tests (which plant files and folders under the names a
// run will try).
#ifndef PHOTOCHECK_PLATFORM_WINDOWS_REPORT_H
#define PHOTOCHECK_PLATFORM_WINDOWS_REPORT_H

#include <cstdint>
#include <string>

namespace platform {

// A number for a temporary name; a run asks the system's random source.
using RandomSource = std::uint64_t (*)();

// The temporary file tried for `target` with `number`: `target`, a dot and
// six letters and digits made from `number` ("error.json.k3x0qz").
std::wstring temporaryPathFor(const std::wstring& target, std::uint64_t number);

// replaceFile with the temporary names drawn from `random`.
bool replaceFileWith(const std::string& path, const std::string& text, RandomSource random);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_WINDOWS_REPORT_H
