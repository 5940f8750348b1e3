// Fuzz target for the XMP packet: the input is decoded as a packet, and
// taken as a JPEG file whose XMP segment is found by the EXIF reader's walk,
// read and decoded. The decoder must end with one of its outcomes for any
// bytes, within its memory cap, without reading outside them; the walk must
// place the packet inside the file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "exif/byte_source.h"
#include "exif/exif_record.h"
#include "exif/xmp_segment.h"
#include "xmp/xmp_facts.h"

namespace {

void check(const XmpFacts& facts) {
  switch (facts.outcome) {
    case XmpOutcome::complete:
    case XmpOutcome::tooLong:
    case XmpOutcome::refused:
    case XmpOutcome::malformed:
    case XmpOutcome::tooDeep:
    case XmpOutcome::noMemory:
      break;
    default:
      std::abort();
  }
  if (facts.parserPeakBytes > kMostXmpParserBytes) std::abort();
  if (facts.projectionType.size() > kMostXmpTextBytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check(decodeXmpPacket(data, size));
  if (size > UINT32_MAX) return 0;

  const auto length = static_cast<std::uint32_t>(size);
  const ByteSource source = memoryByteSource(data, length);
  ExifRecord record;
  XmpSegment place;
  record.parseJpeg(source, &place);
  if (!place.found) return 0;
  if (std::uint64_t{place.offset} + place.length > length) std::abort();
  std::vector<unsigned char> packet(place.length);
  if (!readXmpPacket(source, place, packet.data())) std::abort();
  check(decodeXmpPacket(packet.data(), packet.size()));
  return 0;
}
