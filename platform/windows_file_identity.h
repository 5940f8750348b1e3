// The one source of a file's identity on Windows, for the photos' reads, the
// side files' guard and the folder scan alike: identities made by different
// calls (the 64-bit volume serial number of FILE_ID_INFO against the 32-bit
// one of BY_HANDLE_FILE_INFORMATION) would never compare equal for one file.
#ifndef PHOTOCHECK_PLATFORM_WINDOWS_FILE_IDENTITY_H
#define PHOTOCHECK_PLATFORM_WINDOWS_FILE_IDENTITY_H

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {

// The identity of the file or folder open as `handle`: the volume serial
// number and the 128-bit file ID where the file system gives one (Windows 8
// and later; FILE_ID_INFO), else the serial number and 64-bit file index.
// Unknown where the system says neither.
FileIdentity identityOfOpenFile(HANDLE handle);

// The path the system resolves the open `handle` to (junctions and links
// followed), in the "\\?\" form; empty where it gives none.
std::wstring finalPathOf(HANDLE handle);

}  // namespace platform

#endif  // PHOTOCHECK_PLATFORM_WINDOWS_FILE_IDENTITY_H
