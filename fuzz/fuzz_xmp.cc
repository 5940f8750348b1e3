// Fuzz target for the XMP packet: the input is decoded as a packet, and
// taken as a JPEG file whose XMP segment is found by the EXIF reader's walk,
// read and decoded. The decoder must end with one of its outcomes for any
// bytes, within its memory cap, without reading outside them; the walk must
// place the packet inside the file. Each input is also decoded by one
// parser kept from input to input, as a reading thread keeps it, and must
// give the same facts as a new parser.

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

bool sameNumber(const XmpNumber& a, const XmpNumber& b) {
  return a.has == b.has &&
         (!a.has || a.value == b.value || (a.value != a.value && b.value != b.value));
}

// The kept parser's facts against a new parser's: every field, the outcome.
void checkSame(const XmpFacts& fresh, const XmpFacts& kept) {
  if (fresh.outcome != kept.outcome || fresh.projectionType != kept.projectionType) std::abort();
  const XmpNumber XmpFacts::* numbers[] = {
      &XmpFacts::relativeAltitude, &XmpFacts::absoluteAltitude, &XmpFacts::gimbalPitch,
      &XmpFacts::gimbalYaw,        &XmpFacts::gimbalRoll,       &XmpFacts::flightPitch,
      &XmpFacts::flightYaw,        &XmpFacts::flightRoll,       &XmpFacts::flightXSpeed,
      &XmpFacts::flightYSpeed,     &XmpFacts::flightZSpeed,     &XmpFacts::rtkFlag,
      &XmpFacts::rtkStdLon,        &XmpFacts::rtkStdLat,        &XmpFacts::rtkStdHgt,
      &XmpFacts::posePitch,        &XmpFacts::poseHeading,      &XmpFacts::cameraPitch,
      &XmpFacts::cameraYaw,        &XmpFacts::cameraRoll,       &XmpFacts::gpsXYAccuracy,
      &XmpFacts::gpsZAccuracy};
  for (const auto number : numbers) {
    if (!sameNumber(fresh.*number, kept.*number)) std::abort();
  }
}

XmpParser keptParser;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const XmpFacts fresh = decodeXmpPacket(data, size);
  check(fresh);
  const XmpFacts kept = decodeXmpPacket(data, size, keptParser);
  check(kept);
  checkSame(fresh, kept);
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
