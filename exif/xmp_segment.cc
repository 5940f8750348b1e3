#include "exif/xmp_segment.h"

#include <algorithm>
#include <cstring>

namespace {

// The identifier that opens an XMP APP1 segment's data, with its zero byte.
constexpr unsigned char kXmpId[] = "http://ns.adobe.com/xap/1.0/";
constexpr std::uint32_t kXmpIdBytes = sizeof kXmpId;  // 29, the zero byte too
static_assert(kXmpIdBytes == 29);

// One read per segment: its marker, length and the identifier's room.
constexpr std::uint32_t kProbeBytes = 4 + kXmpIdBytes;

// Markers that stand alone, without a length (ITU-T T.81 B.1.1.3 and Table
// B.1): TEM and RST0 to RST7.
bool standsAlone(unsigned char code) { return code == 0x01 || (code >= 0xD0 && code <= 0xD7); }

}  // namespace

XmpSearch findXmpSegment(const ByteSpan& image, XmpSegment& place) {
  place = XmpSegment();
  // The first marker follows the 2 bytes of FF D8, which the caller tested.
  std::uint64_t at = 2;
  unsigned char probe[kProbeBytes];
  for (std::uint32_t walked = 0; walked < kMostWalkedSegments; ++walked) {
    if (!image.holds(at, 2)) return XmpSearch::absent;
    const std::uint64_t n = std::min<std::uint64_t>(kProbeBytes, image.length - at);
    if (!image.read(at, n, probe)) return XmpSearch::readFailed;
    if (probe[0] != 0xFF) return XmpSearch::absent;  // not a marker: the chain is broken
    const unsigned char code = probe[1];
    if (code == 0xFF) {  // a fill byte before a marker (B.1.1.2)
      at += 1;
      continue;
    }
    if (standsAlone(code)) {
      at += 2;
      continue;
    }
    // Start of scan and end of image: no header segment follows. Any other
    // code (00, a second FF D8) means the bytes are no marker chain.
    if (code == 0xDA || code == 0xD9 || code == 0x00 || code == 0xD8 || n < 4) {
      return XmpSearch::absent;
    }
    const std::uint32_t length = (std::uint32_t{probe[2]} << 8) | probe[3];
    if (length < 2 || !image.holds(at + 2, length)) return XmpSearch::absent;
    // The segment holds the identifier only when its data has 29 bytes or
    // more; then the whole probe lay inside the image and was read.
    if (code == 0xE1 && length - 2 >= kXmpIdBytes &&
        std::memcmp(probe + 4, kXmpId, kXmpIdBytes) == 0) {
      place.found = true;
      place.offset = static_cast<std::uint32_t>(image.start + at + kProbeBytes);
      place.length = length - 2 - kXmpIdBytes;
      return XmpSearch::found;
    }
    at += 2 + std::uint64_t{length};
  }
  return XmpSearch::absent;
}

bool readXmpPacket(const ByteSource& source, const XmpSegment& place, unsigned char* out) {
  if (!place.found || place.length == 0) return true;
  if (std::uint64_t{place.offset} + place.length > source.size) return false;
  return source.read(source.context, place.offset, place.length, out);
}
