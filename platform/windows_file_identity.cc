#include "platform/windows_file_identity.h"

#include <cstdint>

namespace platform {

FileIdentity identityOfOpenFile(HANDLE handle) {
  FILE_ID_INFO full;
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &full, sizeof full)) {
    // The ID's 16 bytes, lowest first: NTFS fills the low half with the
    // 64-bit file index, ReFS all of it.
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    for (int i = 7; i >= 0; --i) {
      low = (low << 8) | full.FileId.Identifier[i];
      high = (high << 8) | full.FileId.Identifier[8 + i];
    }
    // An ID of 0 is no ID (some file systems and servers give it for every
    // file): the index may still tell the file.
    if (low != 0 || high != 0) return {full.VolumeSerialNumber, low, high};
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(handle, &information)) return FileIdentity{};
  return {information.dwVolumeSerialNumber,
          std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow, 0};
}

std::wstring finalPathOf(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // the room it needs, its closing zero included
  }
  return std::wstring();
}

}  // namespace platform
