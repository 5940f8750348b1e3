#include "inventory/folder_scan.h"

#include <set>
#include <string>
#include <utility>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/path_list.h"
#include "platform/platform.h"

namespace {

// Folders already listed in this run, by their identity. A folder reached
// again by another path (links that lead to one folder along many ways, or
// back up the tree) is passed over in silence: listing it once is enough, and
// listing it again could make the list grow without end.
using ListedFolders = std::set<std::pair<std::uint64_t, std::uint64_t>>;

// Lists `folder` into `images`. False when it cannot be listed.
bool scanFolder(const platform::FilePath& folder, ListedFolders& listed,
                platform::PathList& images) {
  platform::FolderListing listing;
  console::flush();
  if (!platform::listFolder(folder, listing)) {
    console::line(texts::kFolderNotFound);
    return false;
  }
  if (listing.id.known && !listed.emplace(listing.id.device, listing.id.inode).second) return true;
  // The folder is kept in the list once, when its first path is added.
  std::size_t number = std::string::npos;
  for (const platform::FolderEntry& entry : listing.entries) {
    // A sub-folder that cannot be listed stands in the list like a file:
    // every check then files it under "error", so a set never passes with
    // photos nobody could look at.
    if (entry.isFolder && scanFolder(platform::childPath(folder, entry), listed, images)) continue;
    if (number == std::string::npos) number = images.addFolder(folder);
    images.add(number, entry);
  }
  return true;
}

}  // namespace

platform::PathList listFolderFiles(std::string folder) {
  platform::PathList images;
  ListedFolders listed;
  scanFolder(platform::FilePath(std::move(folder)), listed, images);
  return images;
}
