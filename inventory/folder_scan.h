// The image folder scan: every file below a folder, recursively, whatever its
// name or extension. Deciding whether a file is a usable photo is left to the
// checks.
#ifndef PHOTOCHECK_INVENTORY_FOLDER_SCAN_H
#define PHOTOCHECK_INVENTORY_FOLDER_SCAN_H

#include <string>

#include "platform/path_list.h"

// Paths of all files below `folder`: the folder text as given, the platform's
// separator and the entry name, through every level of sub-folders. A
// sub-folder's files stand where the sub-folder was met (depth first), so
// files listed after a sub-folder come after its contents. A folder that
// cannot be listed prints "can not found the file ... "; the top folder then
// adds nothing, a sub-folder adds its own path, like a file, so the checks
// report it. A folder is listed at most once per run: met again by another
// path (through links), it is passed over in silence.
platform::PathList listFolderFiles(std::string folder);

#endif  // PHOTOCHECK_INVENTORY_FOLDER_SCAN_H
