// The bare file name of an image path, as the findings and error.json show it.
#ifndef PHOTOCHECK_CHECKS_FILE_NAME_H
#define PHOTOCHECK_CHECKS_FILE_NAME_H

#include <string>

// The bare file name of a path: the text after its last separator (the whole
// path when there is none). A forward slash always separates. A backslash
// separates only where the platform joins paths with it (Windows), and there
// only as a character of its own: the second byte of a double-byte character
// of the ANSI code page may be 0x5C without being one.
std::string fileNameOf(const std::string& path);

#endif  // PHOTOCHECK_CHECKS_FILE_NAME_H
