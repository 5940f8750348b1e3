// The JPEG segment walk of the EXIF reader: the start and end markers, the
// XMP segment's place when asked (exif/xmp_segment.h), the first APP1
// marker, the EXIF identifier and TIFF header of its segment, and the walk
// over IFD0, the EXIF directory and the GPS directory. Which entries
// set which field is exif/exif_fields.h's part.

#include <algorithm>
#include <cstring>

#include "exif/byte_span.h"
#include "exif/directory_entry.h"
#include "exif/exif_fields.h"
#include "exif/exif_record.h"
#include "exif/marker_search.h"
#include "exif/xmp_segment.h"

namespace {

// A directory entry is 12 bytes (exif/directory_entry.h).
constexpr std::uint64_t kEntrySize = 12;

// What a parse returns when a source read fails. Any code but exifOk would
// do: the caller knows of the failure from its source and ignores the result.
constexpr ExifResult kReadFailed = exifCorrupt;

// The end marker is searched from the back: a file that ends in FF D9 costs
// one read of 2 bytes. The APP1 marker usually lies in the first few hundred
// bytes. Chunks grow to 64 KiB, so a long search costs few reads.
constexpr ChunkPlan kEndMarkerChunks = {2, 64 * 1024};
constexpr ChunkPlan kApp1MarkerChunks = {4 * 1024, 64 * 1024};

// True when a directory of `count` entries at `position` fits: the 2-byte
// count, the entries and the 4-byte next-directory offset (TIFF 6.0 section 2).
bool directoryFits(const ByteSpan& segment, std::uint64_t position, std::uint16_t count) {
  return segment.holds(position, 2 + kEntrySize * count + 4);
}

// The u16 at `position`, tested by the caller. False when the read fails.
bool readU16At(const ByteSpan& segment, std::uint64_t position, bool intel, std::uint16_t& value) {
  unsigned char bytes[2];
  if (!segment.read(position, 2, bytes)) return false;
  value = readU16(bytes, intel);
  return true;
}

// Hands the 12 bytes of each of the `count` entries of the directory at
// `position` (tested with directoryFits) to `visit`, reading them in batches.
// `visit` returns false when a read of its own fails. False when a read fails.
template <typename Visit>
bool forEachEntry(const ByteSpan& segment, std::uint64_t position, std::uint16_t count,
                  Visit visit) {
  constexpr std::uint32_t kBatch = 64;  // entries per read
  unsigned char batch[kBatch * kEntrySize];
  for (std::uint32_t k = 0; k < count; k += kBatch) {
    const std::uint32_t n = std::min<std::uint32_t>(count - k, kBatch);
    if (!segment.read(position + 2 + kEntrySize * k, kEntrySize * n, batch)) return false;
    for (std::uint32_t j = 0; j < n; ++j) {
      if (!visit(batch + kEntrySize * j)) return false;
    }
  }
  return true;
}

// Decodes the EXIF segment `segment` (from the 'E' of "Exif") into `record`.
ExifResult readExifSegment(const ByteSpan& segment, ExifRecord& record) {
  // EXIF 2.3 4.7.2: the APP1 data starts with the identifier "Exif" 00 00,
  // followed by the 8-byte TIFF header.
  static const unsigned char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
  unsigned char head[sizeof kExifId + 8];
  if (!segment.holds(0, sizeof kExifId)) return exifNoExif;
  const bool wholeHead = segment.holds(0, sizeof head);
  if (!segment.read(0, wholeHead ? sizeof head : sizeof kExifId, head)) return kReadFailed;
  if (std::memcmp(head, kExifId, sizeof kExifId) != 0) return exifNoExif;
  if (!wholeHead) return exifCorrupt;

  // TIFF header [TIFF 6.0 section 2]: "II" little-endian or "MM" big-endian.
  const unsigned char order0 = head[6], order1 = head[7];
  if (order0 == 0x49 && order1 == 0x49) {
    record.intelByteOrder = true;
  } else if (order0 == 0x4D && order1 == 0x4D) {
    record.intelByteOrder = false;
  } else {
    return exifUnknownByteOrder;
  }
  const bool intel = record.intelByteOrder;
  if (readU16(head + 8, intel) != 42) return exifCorrupt;

  // IFD0: its offset, then count, entries and next-IFD offset must fit.
  const std::uint64_t ifd0 = std::uint64_t{readU32(head + 10, intel)} + kTiffBase;
  if (!segment.holds(ifd0, 2)) return exifCorrupt;
  std::uint16_t count = 0;
  if (!readU16At(segment, ifd0, intel, count)) return kReadFailed;
  if (!directoryFits(segment, ifd0, count)) return exifCorrupt;

  std::uint64_t exifPosition = segment.length;  // absent
  std::uint64_t gpsPosition = segment.length;   // absent
  Ifd0Picks ifd0Picks;
  const bool ifd0Read = forEachEntry(segment, ifd0, count, [&](const unsigned char* bytes) {
    pickIfd0Entry(entryOf(bytes, intel, segment), ifd0Picks, exifPosition, gpsPosition);
    return true;
  });
  if (!ifd0Read || !readIfd0Fields(segment, intel, ifd0Picks, record)) return kReadFailed;
  // The next-IFD offset (IFD1, the thumbnail) is not followed.

  // EXIF directory; one whose count cannot even be read is taken as absent.
  if (segment.holds(exifPosition, 4)) {
    if (!readU16At(segment, exifPosition, intel, count)) return kReadFailed;
    if (!directoryFits(segment, exifPosition, count)) return exifCorrupt;
    ExifPicks exifPicks;
    const bool exifRead =
        forEachEntry(segment, exifPosition, count, [&](const unsigned char* bytes) {
          pickExifEntry(entryOf(bytes, intel, segment), exifPicks);
          return true;
        });
    if (!exifRead || !readExifFields(segment, intel, exifPicks, record)) return kReadFailed;
  }

  // GPS directory, read from entry headers.
  if (!segment.holds(gpsPosition, 4)) return exifOk;
  if (!readU16At(segment, gpsPosition, intel, count)) return kReadFailed;
  if (!directoryFits(segment, gpsPosition, count)) return exifCorrupt;
  const bool gpsRead = forEachEntry(segment, gpsPosition, count, [&](const unsigned char* bytes) {
    return handleGpsEntry(segment, bytes, intel, record.gps);
  });
  return gpsRead ? exifOk : kReadFailed;
}

}  // namespace

ExifResult ExifRecord::parseJpeg(const ByteSource& source, XmpSegment* xmp) {
  if (xmp != nullptr) *xmp = XmpSegment();
  const ByteSpan file{&source, 0, source.size};
  // Start of image, FF D8 (ITU-T T.81 B.1.1.3).
  if (!file.holds(0, 4)) return exifNotJpeg;
  unsigned char start[2];
  if (!file.read(0, 2, start)) return kReadFailed;
  if (start[0] != 0xFF || start[1] != 0xD8) return exifNotJpeg;

  // End of image: the last FF D9 pair, searched from the back. Anything after
  // it is ignored. The pair at 0 is FF D8, so a pair found starts at 1 or
  // later and the image keeps at least 3 bytes.
  std::uint32_t endMarker = 0;
  const MarkerSearch end = findLastMarker(file, 0xD9, kEndMarkerChunks, endMarker);
  if (end == MarkerSearch::readFailed) return kReadFailed;
  if (end == MarkerSearch::absent) return exifNotJpeg;
  const ByteSpan image{&source, 0, endMarker + 2};

  reset();

  // Asked for, the XMP packet's place is learnt first, so that a failed read
  // there ends the parse before any other read.
  if (xmp != nullptr && findXmpSegment(image, *xmp) == XmpSearch::readFailed) return kReadFailed;

  // Deliberate: the first FF E1 pair counts, even inside another segment's
  // data; the segment chain is not walked (the XMP walk above is the asking
  // caller's alone, so that this search keeps its reads).
  std::uint32_t app1 = 0;
  const MarkerSearch marker = findFirstMarker(image, 0xE1, kApp1MarkerChunks, app1);
  if (marker == MarkerSearch::readFailed) return kReadFailed;
  if (marker == MarkerSearch::absent || !image.holds(app1, 4)) return exifNoExif;

  // APP1 length, big-endian as every JPEG number, counting its own 2 bytes.
  unsigned char lengthField[2];
  if (!image.read(std::uint64_t{app1} + 2, 2, lengthField)) return kReadFailed;
  const std::uint32_t app1Length = (std::uint32_t{lengthField[0]} << 8) | lengthField[1];
  if (!image.holds(std::uint64_t{app1} + 2, app1Length)) return exifCorrupt;
  if (app1Length < 16) return exifCorrupt;

  // Deliberate: the APP1 length does not bound the segment; it runs to the
  // end of the image, so offsets past the APP1 segment are still read.
  return readExifSegment(image.from(std::uint64_t{app1} + 4), *this);
}

ExifResult ExifRecord::parseJpeg(const unsigned char* data, std::uint32_t length, XmpSegment* xmp) {
  if (xmp != nullptr) *xmp = XmpSegment();
  if (data == nullptr) return exifNotJpeg;
  return parseJpeg(memoryByteSource(data, length), xmp);
}

ExifResult ExifRecord::parseExifSegment(const unsigned char* segmentBytes, std::uint32_t length) {
  if (segmentBytes == nullptr) return exifNoExif;
  const ByteSource source = memoryByteSource(segmentBytes, length);
  return readExifSegment(ByteSpan{&source, 0, length}, *this);
}
