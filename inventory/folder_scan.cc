#include "inventory/folder_scan.h"

#include <algorithm>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

// `ancestors` holds the identities of the folders on the current descent
// path. A folder met again below itself (through a link) is passed over in
// silence, so a link cycle cannot make the scan endless.
void scanFolder(const platform::FilePath& folder, std::vector<platform::FolderId>& ancestors,
                std::vector<platform::FilePath>& images) {
  platform::FolderListing listing;
  if (!platform::listFolder(folder, listing)) {
    console::line(texts::kFolderNotFound);
    return;
  }
  if (std::find(ancestors.begin(), ancestors.end(), listing.id) != ancestors.end()) return;
  ancestors.push_back(listing.id);
  for (const platform::FolderEntry& entry : listing.entries) {
    platform::FilePath path = platform::childPath(folder, entry);
    if (entry.isFolder) {
      scanFolder(path, ancestors, images);
    } else {
      images.push_back(std::move(path));
    }
  }
  ancestors.pop_back();
}

}  // namespace

std::vector<platform::FilePath> listFolderFiles(std::string folder) {
  std::vector<platform::FilePath> images;
  std::vector<platform::FolderId> ancestors;
  scanFolder(platform::FilePath(std::move(folder)), ancestors, images);
  return images;
}
