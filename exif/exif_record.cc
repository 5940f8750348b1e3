#include "exif/exif_record.h"

#include <cstring>
#include <utility>
#include <variant>

#include "exif/byte_span.h"
#include "exif/directory_entry.h"

namespace {

// Every stored offset counts from the TIFF header, which follows "Exif" 00 00.
constexpr std::uint32_t kTiffBase = 6;
constexpr std::uint64_t kEntrySize = 12;
constexpr unsigned char kUnknownDirection = 0x3F;  // '?'

// IFD0 tags (TIFF 6.0 section 8; EXIF 2.3 4.6.3 and 4.6.4).
constexpr std::uint16_t kBitsPerSample = 0x0102;
constexpr std::uint16_t kImageDescription = 0x010E;
constexpr std::uint16_t kMake = 0x010F;
constexpr std::uint16_t kModel = 0x0110;
constexpr std::uint16_t kOrientation = 0x0112;
constexpr std::uint16_t kSoftware = 0x0131;
constexpr std::uint16_t kDateTime = 0x0132;
constexpr std::uint16_t kCopyright = 0x8298;
constexpr std::uint16_t kExifIfdPointer = 0x8769;
constexpr std::uint16_t kGpsIfdPointer = 0x8825;

// EXIF directory tags (EXIF 2.3 4.6.5).
constexpr std::uint16_t kExposureTime = 0x829A;
constexpr std::uint16_t kFNumber = 0x829D;
constexpr std::uint16_t kExposureProgram = 0x8822;
constexpr std::uint16_t kIsoSpeedRatings = 0x8827;
constexpr std::uint16_t kDateTimeOriginal = 0x9003;
constexpr std::uint16_t kDateTimeDigitized = 0x9004;
constexpr std::uint16_t kShutterSpeedValue = 0x9201;
constexpr std::uint16_t kExposureBiasValue = 0x9204;
constexpr std::uint16_t kSubjectDistance = 0x9206;
constexpr std::uint16_t kMeteringMode = 0x9207;
constexpr std::uint16_t kFlash = 0x9209;
constexpr std::uint16_t kFocalLength = 0x920A;
constexpr std::uint16_t kSubsecTimeOriginal = 0x9291;
constexpr std::uint16_t kPixelXDimension = 0xA002;
constexpr std::uint16_t kPixelYDimension = 0xA003;
constexpr std::uint16_t kFocalPlaneXResolution = 0xA20E;
constexpr std::uint16_t kFocalPlaneYResolution = 0xA20F;
constexpr std::uint16_t kFocalPlaneResolutionUnit = 0xA210;
constexpr std::uint16_t kFocalLengthIn35mmFilm = 0xA405;
constexpr std::uint16_t kLensSpecification = 0xA432;
constexpr std::uint16_t kLensMake = 0xA433;
constexpr std::uint16_t kLensModel = 0xA434;

// GPS directory tags (EXIF 2.3 4.6.6).
constexpr std::uint16_t kGpsLatitudeRef = 1;
constexpr std::uint16_t kGpsLatitude = 2;
constexpr std::uint16_t kGpsLongitudeRef = 3;
constexpr std::uint16_t kGpsLongitude = 4;
constexpr std::uint16_t kGpsAltitudeRef = 5;
constexpr std::uint16_t kGpsAltitude = 6;
constexpr std::uint16_t kGpsDop = 11;

// Field setters for the accepted forms. Each leaves the field unchanged when
// the entry has another format or no value.

void takeAscii(DirectoryEntry& entry, std::string& field) {
  if (auto* text = std::get_if<std::string>(&entry.values)) field = std::move(*text);
}

template <typename Field>
void takeFirstShort(const DirectoryEntry& entry, Field& field) {
  const auto* list = std::get_if<std::vector<std::uint16_t>>(&entry.values);
  if (list != nullptr && !list->empty()) field = static_cast<Field>(list->front());
}

void takeRational(const DirectoryEntry& entry, std::size_t index, double& field) {
  const auto* list = std::get_if<std::vector<Rational>>(&entry.values);
  if (list != nullptr && list->size() > index) field = rationalToDouble((*list)[index]);
}

// Image width and height may be stored as LONG or SHORT (EXIF 2.3 4.6.5).
// A LONG entry without values does not fall back to anything.
void takeDimension(const DirectoryEntry& entry, std::uint32_t& field) {
  if (entry.format == tiffLong) {
    const auto& list = std::get<std::vector<std::uint32_t>>(entry.values);
    if (!list.empty()) field = list.front();
    return;
  }
  takeFirstShort(entry, field);
}

void handleIfd0Entry(DirectoryEntry& entry, ExifRecord& record, std::uint64_t& exifPosition,
                     std::uint64_t& gpsPosition) {
  switch (entry.tag) {
    case kBitsPerSample:
      takeFirstShort(entry, record.bitsPerSample);
      break;
    case kImageDescription:
      takeAscii(entry, record.imageDescription);
      break;
    case kMake:
      takeAscii(entry, record.make);
      break;
    case kModel:
      takeAscii(entry, record.model);
      break;
    case kOrientation:
      takeFirstShort(entry, record.orientation);
      break;
    case kSoftware:
      takeAscii(entry, record.software);
      break;
    case kDateTime:
      takeAscii(entry, record.dateTime);
      break;
    case kCopyright:
      takeAscii(entry, record.rightsNotice);
      break;
    // Deliberate: a pointer is taken from the value field whatever its
    // (accepted) format, as long as the entry decoded.
    case kExifIfdPointer:
      exifPosition = std::uint64_t{entry.valueField} + kTiffBase;
      break;
    case kGpsIfdPointer:
      gpsPosition = std::uint64_t{entry.valueField} + kTiffBase;
      break;
    default:
      break;
  }
}

void handleExifEntry(DirectoryEntry& entry, ExifRecord& record) {
  switch (entry.tag) {
    case kExposureTime:
      takeRational(entry, 0, record.exposureTime);
      break;
    case kFNumber:
      takeRational(entry, 0, record.fNumber);
      break;
    case kExposureProgram:
      takeFirstShort(entry, record.exposureProgram);
      break;
    case kIsoSpeedRatings:
      takeFirstShort(entry, record.isoSpeed);
      break;
    case kDateTimeOriginal:
      takeAscii(entry, record.dateTimeOriginal);
      break;
    case kDateTimeDigitized:
      takeAscii(entry, record.dateTimeDigitized);
      break;
    case kShutterSpeedValue:  // SRATIONAL in the standard: no values, stays 0
      takeRational(entry, 0, record.shutterSpeedValue);
      break;
    case kExposureBiasValue:  // likewise
      takeRational(entry, 0, record.exposureBiasValue);
      break;
    case kSubjectDistance:
      takeRational(entry, 0, record.subjectDistance);
      break;
    case kMeteringMode:
      takeFirstShort(entry, record.meteringMode);
      break;
    case kFlash: {
      // EXIF 2.3 4.6.5 Flash: bit 0 fired, bits 1-2 return light, bits 3-4 mode.
      const auto* list = std::get_if<std::vector<std::uint16_t>>(&entry.values);
      if (list == nullptr || list->empty()) break;
      const std::uint16_t flash = list->front();
      record.flashFired = static_cast<std::uint8_t>(flash & 1);
      record.flashReturnLight = static_cast<std::uint16_t>((flash >> 1) & 3);
      record.flashMode = static_cast<std::uint16_t>((flash >> 3) & 3);
      break;
    }
    case kFocalLength:
      takeRational(entry, 0, record.focalLength);
      break;
    case kSubsecTimeOriginal:
      takeAscii(entry, record.subsecTimeOriginal);
      break;
    case kPixelXDimension:
      takeDimension(entry, record.imageWidth);
      break;
    case kPixelYDimension:
      takeDimension(entry, record.imageHeight);
      break;
    case kFocalPlaneXResolution:
      takeRational(entry, 0, record.lens.focalPlaneXResolution);
      break;
    case kFocalPlaneYResolution:
      takeRational(entry, 0, record.lens.focalPlaneYResolution);
      break;
    case kFocalPlaneResolutionUnit:
      takeFirstShort(entry, record.lens.focalPlaneResolutionUnit);
      break;
    case kFocalLengthIn35mmFilm:
      takeFirstShort(entry, record.focalLength35mm);
      break;
    case kLensSpecification:
      // Min focal length, max focal length, f-number at min, at max.
      takeRational(entry, 0, record.lens.focalLengthMin);
      takeRational(entry, 1, record.lens.focalLengthMax);
      takeRational(entry, 2, record.lens.fNumberAtMinFocal);
      takeRational(entry, 3, record.lens.fNumberAtMaxFocal);
      break;
    case kLensMake:
      takeAscii(entry, record.lens.make);
      break;
    case kLensModel:
      takeAscii(entry, record.lens.model);
      break;
    default:
      break;
  }
}

// A GPS rational value: RATIONAL or SRATIONAL, halves read unsigned.
bool isGpsRational(const EntryHeader& header) {
  return header.format == tiffRational || header.format == tiffSrational;
}

// Reference letter as stored, or '?' for a zero byte.
unsigned char directionOf(unsigned char valueByte) {
  return valueByte == 0 ? kUnknownDirection : valueByte;
}

// Degrees, minutes and seconds at `position` (24 bytes, checked by the caller).
void readCoordinate(const unsigned char* bytes, bool intel, CoordinateParts& parts,
                    double& decimal) {
  parts.degrees = rationalToDouble(readRationalPair(bytes, intel));
  parts.minutes = rationalToDouble(readRationalPair(bytes + 8, intel));
  parts.seconds = rationalToDouble(readRationalPair(bytes + 16, intel));
  decimal = (parts.degrees + parts.minutes / 60.0) + parts.seconds / 3600.0;
}

// The GPS directory is read from entry headers only. A reference entry flips
// the sign of the value already there and a coordinate entry applies the
// reference already there, so the outcome does not depend on their order.
void handleGpsEntry(const ByteSpan& segment, std::uint64_t entryPosition, bool intel,
                    GpsPosition& gps) {
  const unsigned char* entryBytes = segment.at(entryPosition);
  const EntryHeader header = readEntryHeader(entryBytes, intel);
  const unsigned char valueByte = entryBytes[8];  // first byte of the value field
  const std::uint64_t valuePosition = std::uint64_t{header.valueField} + kTiffBase;
  const bool coordinate =
      isGpsRational(header) && header.count == 3 && segment.holds(valuePosition, 3 * 8);
  const bool single = isGpsRational(header) && segment.holds(valuePosition, 8);

  switch (header.tag) {
    case kGpsLatitudeRef:
      gps.latitudeParts.direction = directionOf(valueByte);
      if (gps.latitudeParts.direction == 'S') gps.latitude = -gps.latitude;
      break;
    case kGpsLatitude:
      if (!coordinate) break;
      readCoordinate(segment.at(valuePosition), intel, gps.latitudeParts, gps.latitude);
      if (gps.latitudeParts.direction == 'S') gps.latitude = -gps.latitude;
      break;
    case kGpsLongitudeRef:
      gps.longitudeParts.direction = directionOf(valueByte);
      if (gps.longitudeParts.direction == 'W') gps.longitude = -gps.longitude;
      break;
    case kGpsLongitude:
      if (!coordinate) break;
      readCoordinate(segment.at(valuePosition), intel, gps.longitudeParts, gps.longitude);
      if (gps.longitudeParts.direction == 'W') gps.longitude = -gps.longitude;
      break;
    case kGpsAltitudeRef:
      // EXIF 2.3: 0 above sea level, 1 below. Only the byte value 1 negates.
      gps.altitudeRef = valueByte;
      if (gps.altitudeRef == 1) gps.altitude = -gps.altitude;
      break;
    case kGpsAltitude:
      if (!single) break;
      gps.altitude = rationalToDouble(readRationalPair(segment.at(valuePosition), intel));
      if (gps.altitudeRef == 1) gps.altitude = -gps.altitude;
      break;
    case kGpsDop:
      if (single) gps.dop = rationalToDouble(readRationalPair(segment.at(valuePosition), intel));
      break;
    default:
      break;
  }
}

// True when a directory of `count` entries at `position` fits: the 2-byte
// count, the entries and the 4-byte next-directory offset (TIFF 6.0 section 2).
bool directoryFits(const ByteSpan& segment, std::uint64_t position, std::uint16_t count) {
  return segment.holds(position, 2 + kEntrySize * count + 4);
}

// Position of the first FF E1 pair that starts before end - 1, or end - 1
// when there is none. memchr finds each FF (a photo without EXIF is scanned to
// its end, several megabytes, four times a run); its follower is then tested.
// Invariant: a pair starts at most at end - 2, so its second byte is inside.
std::uint32_t firstApp1Marker(const unsigned char* data, std::uint32_t end) {
  const std::uint32_t lastStart = end - 1;  // end >= 3
  std::uint32_t from = 0;
  while (from < lastStart) {
    const void* found = std::memchr(data + from, 0xFF, lastStart - from);
    if (found == nullptr) break;
    const auto at = static_cast<std::uint32_t>(static_cast<const unsigned char*>(found) - data);
    if (data[at + 1] == 0xE1) return at;
    from = at + 1;
  }
  return lastStart;
}

}  // namespace

void ExifRecord::reset() { *this = ExifRecord(); }

ExifResult ExifRecord::parseJpeg(const unsigned char* data, std::uint32_t length) {
  // Start of image, FF D8 (ITU-T T.81 B.1.1.3).
  if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8) return exifNotJpeg;

  // End of image: the last FF D9 pair, searched from the back so that a file
  // ending in FF D9 costs one test. Anything after it is ignored.
  std::uint32_t end = length;
  while (end >= 3 && !(data[end - 1] == 0xD9 && data[end - 2] == 0xFF)) --end;
  if (end < 3) return exifNotJpeg;
  const ByteSpan file{data, end};

  reset();

  // Deliberate: the first FF E1 pair counts, even inside another segment's
  // data; the segment chain is not walked.
  const std::uint32_t app1 = firstApp1Marker(data, end);
  // When there is none, app1 is end - 1 and the next test fails.
  if (!file.holds(app1, 4)) return exifNoExif;

  // APP1 length, big-endian as every JPEG number, counting its own 2 bytes.
  const std::uint32_t app1Length = (std::uint32_t{data[app1 + 2]} << 8) | data[app1 + 3];
  if (!file.holds(std::uint64_t{app1} + 2, app1Length)) return exifCorrupt;
  if (app1Length < 16) return exifCorrupt;

  // Deliberate: the APP1 length does not bound the segment; it runs to the
  // end of the image, so offsets past the APP1 segment are still read.
  const std::uint32_t segmentStart = app1 + 4;
  return parseExifSegment(data + segmentStart, end - segmentStart);
}

ExifResult ExifRecord::parseExifSegment(const unsigned char* segmentBytes, std::uint32_t length) {
  const ByteSpan segment{segmentBytes, length};
  // EXIF 2.3 4.7.2: the APP1 data starts with the identifier "Exif" 00 00.
  static const unsigned char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (segmentBytes == nullptr || !segment.holds(0, 6)) return exifNoExif;
  if (std::memcmp(segmentBytes, kExifId, sizeof kExifId) != 0) return exifNoExif;
  // Identifier plus the 8-byte TIFF header.
  if (!segment.holds(0, 14)) return exifCorrupt;

  // TIFF header [TIFF 6.0 section 2]: "II" little-endian or "MM" big-endian.
  const unsigned char order0 = segmentBytes[6], order1 = segmentBytes[7];
  if (order0 == 0x49 && order1 == 0x49) {
    intelByteOrder = true;
  } else if (order0 == 0x4D && order1 == 0x4D) {
    intelByteOrder = false;
  } else {
    return exifUnknownByteOrder;
  }
  const bool intel = intelByteOrder;
  if (readU16(segment.at(8), intel) != 42) return exifCorrupt;

  // IFD0: its offset, then count, entries and next-IFD offset must fit.
  const std::uint64_t ifd0 = std::uint64_t{readU32(segment.at(10), intel)} + kTiffBase;
  if (!segment.holds(ifd0, 2)) return exifCorrupt;
  const std::uint16_t ifd0Count = readU16(segment.at(ifd0), intel);
  if (!directoryFits(segment, ifd0, ifd0Count)) return exifCorrupt;
  // From here every entry position of a checked directory is below length,
  // so it fits the u32 that decodeDirectoryEntry takes.

  std::uint64_t exifPosition = length;  // absent
  std::uint64_t gpsPosition = length;   // absent
  for (std::uint32_t k = 0; k < ifd0Count; ++k) {
    const auto position = static_cast<std::uint32_t>(ifd0 + 2 + kEntrySize * k);
    DirectoryEntry entry = decodeDirectoryEntry(segmentBytes, position, intel, kTiffBase, length);
    handleIfd0Entry(entry, *this, exifPosition, gpsPosition);
  }
  // The next-IFD offset (IFD1, the thumbnail) is not followed.

  // EXIF directory; one whose count cannot even be read is taken as absent.
  if (segment.holds(exifPosition, 4)) {
    const std::uint16_t count = readU16(segment.at(exifPosition), intel);
    if (!directoryFits(segment, exifPosition, count)) return exifCorrupt;
    for (std::uint32_t k = 0; k < count; ++k) {
      const auto position = static_cast<std::uint32_t>(exifPosition + 2 + kEntrySize * k);
      DirectoryEntry entry = decodeDirectoryEntry(segmentBytes, position, intel, kTiffBase, length);
      handleExifEntry(entry, *this);
    }
  }

  // GPS directory, read from entry headers.
  if (!segment.holds(gpsPosition, 4)) return exifOk;
  const std::uint16_t gpsCount = readU16(segment.at(gpsPosition), intel);
  if (!directoryFits(segment, gpsPosition, gpsCount)) return exifCorrupt;
  for (std::uint32_t k = 0; k < gpsCount; ++k) {
    handleGpsEntry(segment, gpsPosition + 2 + kEntrySize * k, intel, gps);
  }
  return exifOk;
}
