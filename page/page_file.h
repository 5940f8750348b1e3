// Writes the run's HTML page where PHOTOCHECK_HTML asks for it.
#ifndef PHOTOCHECK_PAGE_PAGE_FILE_H
#define PHOTOCHECK_PAGE_PAGE_FILE_H

#include <array>
#include <string>

#include "checks/check_table.h"
#include "page/page_text.h"
#include "platform/platform.h"

// Replaces the file at `path` by the page, whole or not at all (a temporary
// file of the run's own, renamed over it; a link there is replaced, never
// written through), where its path passes `rules` (platform::writeSideFile). `input` holds no
// outcomes yet: those of the checks `ran` are made here again from the facts the run left (bit i of
// each image's flaggedBy: reported by check row i), on a thread of their own while the page's first
// parts are written. False when it could not be written; may throw std::bad_alloc. The caller says
// so and the run's verdict and status never depend on it.
bool writePageFile(const std::string& path, const platform::SideFileRules& rules, PageInput input,
                   const std::array<bool, kCheckCount>& ran);

#endif  // PHOTOCHECK_PAGE_PAGE_FILE_H
