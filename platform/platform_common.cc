// The platform-neutral half of the platform types: folder identities and
// the moving of a ReadableFile (its closing is the platform file's).
#include "platform/platform.h"

#include <clocale>
#include <exception>
#include <locale>
#include <utility>

namespace platform {

bool equalsIgnoringCase(std::string_view text, std::string_view lowerAscii) {
  if (text.size() != lowerAscii.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerAscii[i]) return false;
  }
  return true;
}

bool operator==(const FolderId& a, const FolderId& b) {
  return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept { *this = std::move(other); }

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    size_ = other.size_;
    error_ = other.error_.load(std::memory_order_relaxed);
    identity_ = other.identity_;
    other.handle_ = -1;
    other.size_ = 0;
    other.identity_ = FileIdentity{};
  }
  return *this;
}

ReadableFile::~ReadableFile() { close(); }

namespace {

// The rules a side file's path must pass before anything is written.
bool sideFileAllowedIn(const OpenFolder& folder, const SideFileRules& rules) {
  if (isKnown(rules.imageFolder) && folderLiesIn(folder, rules.imageFolder)) return false;
  FileIdentity identity;
  switch (sideFileTargetIn(folder, identity)) {
    case SideFileTarget::nothing:
    case SideFileTarget::link:
      return true;
    case SideFileTarget::other:
      return false;
    case SideFileTarget::regularFile:
      break;
  }
  return !rules.mustStay || !rules.mustStay(identity);
}

}  // namespace

bool writeSideFile(const std::string& path, const SideFileRules& rules,
                   const std::function<bool(const TextPieceWriter&)>& makeText) {
  OpenFolder folder;
  if (!openFolderOf(path, folder)) return false;
  FileIdentity written;
  bool ok = sideFileAllowedIn(folder, rules) && replaceIn(folder, makeText, written);
  if (ok && rules.mustNotBecome && rules.mustNotBecome(written)) {
    removeIn(folder, written);
    ok = false;
  }
  closeFolder(folder);
  return ok;
}

bool replaceFileByPieces(const std::string& path,
                         const std::function<bool(const TextPieceWriter&)>& makeText) {
  OpenFolder folder;
  if (!openFolderOf(path, folder)) return false;
  FileIdentity written;
  const bool ok = replaceIn(folder, makeText, written);
  closeFolder(folder);
  return ok;
}

bool replaceFile(const std::string& path, const std::string& text) {
  return replaceFileByPieces(path, [&text](const TextPieceWriter& write) { return write(text); });
}

void useUserLocale() {
#ifdef _WIN32
  // The C++ library may be unable to make the user's locale (the mingw
  // library knows only "C" and throws on any other name, and even when it
  // succeeds it sets the C runtime to "C"): the classic locale then stays.
  try {
    std::locale::global(std::locale(""));
  } catch (const std::exception&) {
  }
#endif
  // The C runtime takes the user's locale from the environment. On Linux the
  // C++ library's global locale stays the classic one: making a named C++
  // locale builds its wide-character tables through the C library's
  // character-set converter, which for a legacy charset (GBK, GB18030,
  // EUC-JP) loads the host's converter modules, and a static executable
  // must never load the host's code (it hangs or crashes where that code
  // belongs to another C library). Nothing of the tool reads the global C++
  // locale: the console keeps the classic one, and files are read as bytes.
  // setlocale reads locale data only.
  std::setlocale(LC_ALL, "");
}

}  // namespace platform
