// Fuzz target for the EXIF reader: the input is taken both as a whole file
// and as a bare EXIF segment. The reader must return one of its codes for any
// bytes, without reading outside them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "exif/exif_record.h"

namespace {

bool isKnown(ExifResult result) {
  return result == exifOk || result == exifNotJpeg || result == exifNoExif ||
         result == exifUnknownByteOrder || result == exifCorrupt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > UINT32_MAX) return 0;
  const auto length = static_cast<std::uint32_t>(size);
  ExifRecord file;
  if (!isKnown(file.parseJpeg(data, length))) std::abort();
  ExifRecord segment;
  if (!isKnown(segment.parseExifSegment(data, length))) std::abort();
  return 0;
}
