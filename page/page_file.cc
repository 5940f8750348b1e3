#include "page/page_file.h"

#include <new>

#include "console/console.h"
#include "console/console_texts.h"
#include "platform/platform.h"

void writePageFile(const std::string& path, const PageInput& input) {
  bool written = false;
  console::flush();
  try {
    written = platform::replaceFile(path, pageText(input));
  } catch (const std::bad_alloc&) {
    written = false;  // a page too large for the memory left: told like any failure
  }
  if (!written) {
    console::write(texts::kCannotWritePage);
    console::line(path);
  }
}
