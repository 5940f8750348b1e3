// Where a JPEG file keeps its XMP packet, and the read of it.
//
// The packet is the data of the first APP1 segment whose data begins with the
// XMP identifier (Adobe's rules for XMP in JPEG files):
//
//   FF E1 LL LL                   APP1 marker, big-endian length (counts itself)
//   http://ns.adobe.com/xap/1.0/  the identifier, 28 bytes, and one zero byte
//   <?xpacket ... ?> ...          the packet: LL LL - 2 - 29 bytes of UTF-8 XML
//
// Unlike the EXIF search (the first FF E1 pair counts, wherever it is), the
// packet is found by walking the segment chain from the start of the image
// (ITU-T T.81 B.1.1): each marker's length leads to the next marker, up to
// the start of scan, so a pair inside another segment's data is never taken
// for it. The walk asks the source for one range per segment (its marker,
// length and the first bytes of its data) and stops after kMostWalkedSegments.
// Extended XMP ("http://ns.adobe.com/xmp/extension/") is not looked for.
//
// ExifRecord::parseJpeg walks for it only when given somewhere to put the
// place: a parse that is not asked makes exactly the reads it made before.
#ifndef PHOTOCHECK_EXIF_XMP_SEGMENT_H_
#define PHOTOCHECK_EXIF_XMP_SEGMENT_H_

#include <cstdint>

#include "exif/byte_source.h"
#include "exif/byte_span.h"

// Markers, counting fill bytes, walked at most before the walk gives up; a
// camera file has about a dozen before its start of scan.
inline constexpr std::uint32_t kMostWalkedSegments = 256;

// The packet's place in the file: `length` bytes at `offset`, the bytes after
// the identifier's zero byte. `found` is false when the image has none.
struct XmpSegment {
  bool found = false;
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

enum class XmpSearch { found, absent, readFailed };

// Walks the segments of `image` (from its start of image marker to its end)
// for the XMP APP1 segment; `place` holds it when found, else is reset.
XmpSearch findXmpSegment(const ByteSpan& image, XmpSegment& place);

// Copies the packet at `place` (found, and from a walk over `source`) into
// `out`, which holds place.length bytes. False when the source cannot read it.
bool readXmpPacket(const ByteSource& source, const XmpSegment& place, unsigned char* out);

#endif  // PHOTOCHECK_EXIF_XMP_SEGMENT_H_
