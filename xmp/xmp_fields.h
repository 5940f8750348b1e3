// Which field of XmpFacts each name of an XMP packet sets: one row per
// (namespace URI, local name), the one table the decoder looks names up in.
#ifndef PHOTOCHECK_XMP_XMP_FIELDS_H
#define PHOTOCHECK_XMP_XMP_FIELDS_H

#include <cstddef>
#include <string>

#include "xmp/xmp_facts.h"

// One row: a number field (`number`) or a text field (`text`), the other null.
struct XmpField {
  const char* uri;
  const char* localName;
  // clang-format 14 and 19 space a member pointer differently.
  // clang-format off
  XmpNumber XmpFacts::*number;
  std::string XmpFacts::*text;
  // clang-format on
};

// The row for the name whose namespace URI is the `uriLength` bytes at `uri`
// and whose local name is `localName` (zero-terminated), or null.
const XmpField* findXmpField(const char* uri, std::size_t uriLength, const char* localName);

#endif  // PHOTOCHECK_XMP_XMP_FIELDS_H
