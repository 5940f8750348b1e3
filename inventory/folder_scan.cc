#include "inventory/folder_scan.h"

#include <set>
#include <utility>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

namespace {

// Folders already listed in this run, by their identity. A folder reached
// again by another path (links that lead to one folder along many ways, or
// back up the tree) is passed over in silence: listing it once is enough, and
// listing it again could make the list grow without end.
using ListedFolders = std::set<std::pair<std::uint64_t, std::uint64_t>>;

// Lists `folder` into `images`. False when it cannot be listed.
bool scanFolder(const platform::FilePath& folder, ListedFolders& listed,
                std::vector<platform::FilePath>& images) {
  platform::FolderListing listing;
  console::flush();
  if (!platform::listFolder(folder, listing)) {
    console::line(texts::kFolderNotFound);
    return false;
  }
  if (listing.id.known && !listed.emplace(listing.id.device, listing.id.inode).second) return true;
  for (const platform::FolderEntry& entry : listing.entries) {
    platform::FilePath path = platform::childPath(folder, entry);
    // A sub-folder that cannot be listed stands in the list like a file:
    // every check then files it under "error", so a set never passes with
    // photos nobody could look at.
    if (entry.isFolder && scanFolder(path, listed, images)) continue;
    images.push_back(std::move(path));
  }
  return true;
}

}  // namespace

std::vector<platform::FilePath> listFolderFiles(std::string folder) {
  std::vector<platform::FilePath> images;
  ListedFolders listed;
  scanFolder(platform::FilePath(std::move(folder)), listed, images);
  return images;
}
