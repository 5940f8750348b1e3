#include "inventory/folder_scan.h"

#include <algorithm>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

// `ancestors` holds the identities of the folders on the current descent
// path. A folder met again below itself (through a link) is passed over in
// silence, so a link cycle cannot make the scan endless.
void scanFolder(const std::string& folder, std::vector<platform::FolderId>& ancestors,
                std::vector<std::string>& images) {
  platform::FolderListing listing;
  if (!platform::listFolder(folder, listing)) {
    console::line(texts::kFolderNotFound);
    return;
  }
  if (std::find(ancestors.begin(), ancestors.end(), listing.id) != ancestors.end()) return;
  ancestors.push_back(listing.id);
  for (const platform::FolderEntry& entry : listing.entries) {
    std::string path = folder;
    path += platform::kPathSeparator;
    path += entry.name;
    if (entry.isFolder) {
      scanFolder(path, ancestors, images);
    } else {
      images.push_back(std::move(path));
    }
  }
  ancestors.pop_back();
}

}  // namespace

std::vector<std::string> listFolderFiles(std::string folder) {
  std::vector<std::string> images;
  std::vector<platform::FolderId> ancestors;
  scanFolder(folder, ancestors, images);
  return images;
}
