// Writes the run's HTML page where PHOTOCHECK_HTML asks for it.
#ifndef PHOTOCHECK_PAGE_PAGE_FILE_H
#define PHOTOCHECK_PAGE_PAGE_FILE_H

#include <string>

#include "page/page_text.h"

// Replaces the file at `path` by the page, whole or not at all (a temporary
// file of the run's own, renamed over it; a link there is replaced, never
// written through). A page that cannot be made or written is told in one
// console line; the run's verdict and status never depend on it.
void writePageFile(const std::string& path, const PageInput& input);

#endif  // PHOTOCHECK_PAGE_PAGE_FILE_H
