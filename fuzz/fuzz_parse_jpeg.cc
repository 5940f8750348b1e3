// Fuzz target for the EXIF reader: the input is taken both as a whole file
// and as a bare EXIF segment, and once more as a file whose source fails one
// read. The reader must return one of its codes for any bytes, without
// reading outside them, and must stop at a failed read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "exif/byte_source.h"
#include "exif/exif_record.h"

namespace {

bool isKnown(ExifResult result) {
  return result == exifOk || result == exifNotJpeg || result == exifNoExif ||
         result == exifUnknownByteOrder || result == exifCorrupt;
}

// Serves the input and fails the read numbered `failingRead` (from 0).
struct FailingSource {
  const std::uint8_t* data = nullptr;
  std::uint32_t failingRead = 0;
  std::uint32_t reads = 0;
};

bool readFailing(void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
  auto& source = *static_cast<FailingSource*>(context);
  if (source.reads++ >= source.failingRead) return false;
  std::memcpy(out, source.data + offset, length);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > UINT32_MAX) return 0;
  const auto length = static_cast<std::uint32_t>(size);
  ExifRecord file;
  if (!isKnown(file.parseJpeg(data, length))) std::abort();
  ExifRecord segment;
  if (!isKnown(segment.parseExifSegment(data, length))) std::abort();

  // The last input byte picks the read that fails.
  FailingSource failing;
  failing.data = data;
  failing.failingRead = size == 0 ? 0 : data[size - 1] % 32;
  ByteSource source;
  source.size = length;
  source.read = readFailing;
  source.context = &failing;
  ExifRecord cut;
  const ExifResult result = cut.parseJpeg(source);
  if (failing.reads > failing.failingRead) {
    // The failing read happened: it must have been the last, and no success.
    if (failing.reads != failing.failingRead + 1 || result == exifOk) std::abort();
  }
  return 0;
}
