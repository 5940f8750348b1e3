#include "exif/exif_fields.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "exif/byte_span.h"
#include "exif/directory_entry.h"

namespace {

constexpr unsigned char kUnknownDirection = 0x3F;  // '?'

// A text value is read in pieces from 256 bytes (most texts are shorter)
// doubling up to 1 MiB.
constexpr std::uint64_t kFirstTextPieceBytes = 256;
constexpr std::uint64_t kLargestTextPieceBytes = 1024 * 1024;

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
constexpr std::uint16_t kOffsetTimeOriginal = 0x9011;
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
constexpr std::uint16_t kDigitalZoomRatio = 0xA404;
constexpr std::uint16_t kFocalLengthIn35mmFilm = 0xA405;
constexpr std::uint16_t kBodySerialNumber = 0xA431;
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
constexpr std::uint16_t kGpsSpeedRef = 12;
constexpr std::uint16_t kGpsSpeed = 13;
constexpr std::uint16_t kGpsTrackRef = 14;
constexpr std::uint16_t kGpsTrack = 15;
constexpr std::uint16_t kGpsImgDirectionRef = 16;
constexpr std::uint16_t kGpsImgDirection = 17;

// Metres per second in one unit of GPSSpeedRef: a km/h, a statute mile
// (1609.344 m) an hour, a knot (a nautical mile, 1852 m, an hour).
constexpr double kMetresPerSecondPerKmh = 1000.0 / 3600.0;
constexpr double kMetresPerSecondPerMph = 1609.344 / 3600.0;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;

// A bearing goes round once: 0 and 360 are both north.
constexpr double kFullTurnDegrees = 360;

// OffsetTimeOriginal: the zones of the world lie between -12:00 and +14:00; an
// offset is taken up to 14 hours either way.
constexpr int kLargestOffsetMinutes = 14 * 60;

// Sub-second digits past the ninth (below a nanosecond) are checked but not
// added to the fraction kept.
constexpr std::size_t kSubsecondDigitsKept = 9;

void pickIf(bool sets, const Entry& entry, Pick& pick) {
  if (!sets) return;
  pick.found = true;
  pick.entry = entry;
}

// The forms the fields accept, tested on an entry that decodes: a SHORT field
// takes the first value of a SHORT entry with at least one; a RATIONAL field
// takes value i of a RATIONAL entry with more than i; a text field takes any
// ASCII entry (count 0 gives the empty text).
bool isText(const Entry& entry) { return entry.header.format == tiffAscii; }

bool hasShort(const Entry& entry) {
  return entry.header.format == tiffShort && entry.header.count >= 1;
}

bool hasRational(const Entry& entry, std::uint32_t index) {
  return entry.header.format == tiffRational && entry.header.count > index;
}

// Image width and height may be stored as LONG or SHORT (EXIF 2.3 4.6.5).
// A LONG entry without values sets nothing and does not fall back to anything.
bool hasDimension(const Entry& entry) {
  return (entry.header.format == tiffLong || entry.header.format == tiffShort) &&
         entry.header.count >= 1;
}

// Copies `size` bytes of an entry's values from `offset` on: from the value
// field when they are inline, else from the segment. The caller keeps
// offset + size within place.size, which placeValues found inside the segment.
bool readValues(const ByteSpan& segment, const Entry& entry, std::uint64_t offset,
                std::uint64_t size, unsigned char* out) {
  if (entry.place.inlineValues) {
    std::memcpy(out, entry.field + offset, size);
    return true;
  }
  return segment.read(entry.place.position + offset, size, out);
}

// Field readers for the picks. Each leaves the field unchanged when no entry
// sets it, and returns false only when a read fails.

bool takeText(const ByteSpan& segment, const Pick& pick, std::string& field) {
  if (!pick.found) return true;
  // A text ends at its first zero byte (the count includes the terminating
  // one, and some cameras pad with more). It is read straight into the string
  // the record keeps, in pieces that double from a small first one, up to
  // that byte: its memory follows the bytes it holds (at most twice them),
  // never the count it declares. A maker entry that claims a gigabyte of a
  // sparse file costs one small piece.
  const std::uint64_t size = pick.entry.place.size;
  std::string text;
  std::uint64_t piece = kFirstTextPieceBytes;
  for (std::uint64_t done = 0; done < size;) {
    const std::uint64_t length = std::min(size - done, piece);
    const std::uint64_t wanted = done + length;
    text.resize(static_cast<std::size_t>(wanted));
    unsigned char* at = reinterpret_cast<unsigned char*>(&text[done]);
    if (!readValues(segment, pick.entry, done, length, at)) return false;
    const void* zero = std::memchr(at, 0, length);
    if (zero != nullptr) {
      text.resize(static_cast<std::size_t>(done + (static_cast<const unsigned char*>(zero) - at)));
      break;
    }
    done = wanted;
    piece = std::min(2 * piece, kLargestTextPieceBytes);
  }
  field = std::move(text);
  return true;
}

template <typename Field>
bool takeFirstShort(const ByteSpan& segment, bool intel, const Pick& pick, Field& field) {
  if (!pick.found) return true;
  unsigned char bytes[2];
  if (!readValues(segment, pick.entry, 0, 2, bytes)) return false;
  field = static_cast<Field>(readU16(bytes, intel));
  return true;
}

bool takeRational(const ByteSpan& segment, bool intel, const Pick& pick, std::uint32_t index,
                  double& field) {
  if (!pick.found) return true;
  unsigned char bytes[8];
  if (!readValues(segment, pick.entry, 8 * std::uint64_t{index}, 8, bytes)) return false;
  field = rationalToDouble(readRationalPair(bytes, intel));
  return true;
}

bool takeDimension(const ByteSpan& segment, bool intel, const Pick& pick, std::uint32_t& field) {
  if (!pick.found) return true;
  if (pick.entry.header.format == tiffShort) return takeFirstShort(segment, intel, pick, field);
  unsigned char bytes[4];
  if (!readValues(segment, pick.entry, 0, 4, bytes)) return false;
  field = readU32(bytes, intel);
  return true;
}

// EXIF 2.3 4.6.5 Flash: bit 0 fired, bits 1-2 return light, bits 3-4 mode.
bool takeFlash(const ByteSpan& segment, bool intel, const Pick& pick, ExifRecord& record) {
  if (!pick.found) return true;
  std::uint16_t flash = 0;
  if (!takeFirstShort(segment, intel, pick, flash)) return false;
  record.flashFired = static_cast<std::uint8_t>(flash & 1);
  record.flashReturnLight = static_cast<std::uint16_t>((flash >> 1) & 3);
  record.flashMode = static_cast<std::uint16_t>((flash >> 3) & 3);
  return true;
}

// A GPS rational value: RATIONAL or SRATIONAL, halves read unsigned.
bool isGpsRational(const EntryHeader& header) {
  return header.format == tiffRational || header.format == tiffSrational;
}

// Reference letter as stored, or '?' for a zero byte.
unsigned char directionOf(unsigned char valueByte) {
  return valueByte == 0 ? kUnknownDirection : valueByte;
}

// Degrees, minutes and seconds from the 24 bytes at `bytes`.
void readCoordinate(const unsigned char* bytes, bool intel, CoordinateParts& parts,
                    double& decimal) {
  parts.degrees = rationalToDouble(readRationalPair(bytes, intel));
  parts.minutes = rationalToDouble(readRationalPair(bytes + 8, intel));
  parts.seconds = rationalToDouble(readRationalPair(bytes + 16, intel));
  decimal = (parts.degrees + parts.minutes / 60.0) + parts.seconds / 3600.0;
}

// The decimal number of `count` digits at `text[at]`; -1 when one is no
// digit. The caller keeps at + count within the text.
int digitsAt(const std::string& text, std::size_t at, std::size_t count) {
  int number = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

// EXIF 2.3 DigitalZoomRatio: a numerator of 0 says no digital zoom was used,
// whatever the denominator (DJI cameras write 0/0), which is a ratio of 1. A
// digital zoom only enlarges, so a ratio below 1 is no ratio, and neither is
// a non-zero numerator over 0.
bool takeDigitalZoom(const ByteSpan& segment, bool intel, const Pick& pick, ExifRecord& record) {
  if (!pick.found) return true;
  unsigned char bytes[8];
  if (!readValues(segment, pick.entry, 0, 8, bytes)) return false;
  const Rational stored = readRationalPair(bytes, intel);
  const double ratio = stored.numerator == 0 ? 1.0 : rationalToDouble(stored);
  record.hasDigitalZoomRatio = ratio >= 1;
  record.digitalZoomRatio = record.hasDigitalZoomRatio ? ratio : 0;
  return true;
}

// SubSecTimeOriginal (EXIF 2.3 4.6.5): decimal digits that continue the
// seconds of DateTimeOriginal, "27" for .27 s. Cameras pad the text with
// blanks, which are dropped at both ends; anything else makes it no fraction.
bool subsecondsOf(const std::string& text, double& fraction) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  const std::size_t end = text.find_last_not_of(' ') + 1;
  std::uint64_t numerator = 0, denominator = 1;
  for (std::size_t i = first; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (i - first >= kSubsecondDigitsKept) continue;
    numerator = numerator * 10 + static_cast<std::uint64_t>(text[i] - '0');
    denominator *= 10;
  }
  fraction = static_cast<double>(numerator) / static_cast<double>(denominator);
  return true;
}

// OffsetTimeOriginal (EXIF 2.31): the offset from UTC of DateTimeOriginal as
// exactly "+HH:MM" or "-HH:MM". A blank "   :  " (offset unknown) or any
// other text is no offset.
bool offsetMinutesOf(const std::string& text, std::int16_t& minutes) {
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return false;
  const int hours = digitsAt(text, 1, 2), rest = digitsAt(text, 4, 2);
  if (hours < 0 || rest < 0 || rest > 59) return false;
  const int total = hours * 60 + rest;
  if (total > kLargestOffsetMinutes) return false;
  minutes = static_cast<std::int16_t>(text[0] == '-' ? -total : total);
  return true;
}

// The reference letter of a GPS speed, track or direction reference entry:
// ASCII of 1 to 4 bytes, so that the letter stands in the value field. An
// entry of another form sets nothing; `letter` is then unchanged.
bool referenceLetterOf(const EntryHeader& header, unsigned char valueByte, unsigned char& letter) {
  if (header.format != tiffAscii || header.count < 1 || header.count > 4) return false;
  letter = valueByte;
  return true;
}

// Keeps `letter` when it is one of `known`, else '?'.
unsigned char knownLetter(unsigned char letter, const char* known) {
  const bool isKnown = letter != 0 && std::strchr(known, letter) != nullptr;
  return isKnown ? letter : kUnknownDirection;
}

// Speed in metres per second from the stored number and its unit letter.
void settleSpeed(GpsPosition& gps) {
  double unit = 0;
  if (gps.speedRef == 'K') unit = kMetresPerSecondPerKmh;
  if (gps.speedRef == 'M') unit = kMetresPerSecondPerMph;
  if (gps.speedRef == 'N') unit = kMetresPerSecondPerKnot;
  gps.hasSpeed = gps.hasSpeedStored && unit > 0;
  gps.speed = gps.hasSpeed ? gps.speedStored * unit : 0;
}

// A bearing from its stored value: a number of degrees within one turn.
void setBearing(Rational stored, GpsBearing& bearing) {
  const double degrees = rationalToDouble(stored);
  bearing.has = stored.denominator != 0 && degrees <= kFullTurnDegrees;
  bearing.degrees = bearing.has ? degrees : 0;
}

}  // namespace

CaptureTime captureTimeOf(const std::string& text) {
  // "YYYY:MM:DD HH:MM:SS": the separators at 4, 7, 10, 13 and 16.
  CaptureTime none;
  if (text.size() < 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return none;
  }
  const int year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
  const int hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2);
  const int second = digitsAt(text, 17, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 60) {
    return none;
  }
  CaptureTime time;
  time.year = static_cast<std::uint16_t>(year);
  time.month = static_cast<std::uint8_t>(month);
  time.day = static_cast<std::uint8_t>(day);
  time.hour = static_cast<std::uint8_t>(hour);
  time.minute = static_cast<std::uint8_t>(minute);
  time.second = static_cast<std::uint8_t>(second);
  return time;
}

Entry entryOf(const unsigned char* bytes, bool intel, const ByteSpan& segment) {
  Entry entry;
  entry.header = readEntryHeader(bytes, intel);
  entry.place = placeValues(entry.header, kTiffBase, segment);
  std::memcpy(entry.field, bytes + 8, 4);
  return entry;
}

void pickIfd0Entry(const Entry& entry, Ifd0Picks& picks, std::uint64_t& exifPosition,
                   std::uint64_t& gpsPosition) {
  if (!entry.place.decodes) return;
  switch (entry.header.tag) {
    case kBitsPerSample:
      pickIf(hasShort(entry), entry, picks.bitsPerSample);
      break;
    case kImageDescription:
      pickIf(isText(entry), entry, picks.imageDescription);
      break;
    case kMake:
      pickIf(isText(entry), entry, picks.make);
      break;
    case kModel:
      pickIf(isText(entry), entry, picks.model);
      break;
    case kOrientation:
      pickIf(hasShort(entry), entry, picks.orientation);
      break;
    case kSoftware:
      pickIf(isText(entry), entry, picks.software);
      break;
    case kDateTime:
      pickIf(isText(entry), entry, picks.dateTime);
      break;
    case kCopyright:
      pickIf(isText(entry), entry, picks.rightsNotice);
      break;
    // Deliberate: a pointer is taken from the value field whatever its
    // (accepted) format, as long as the entry decodes.
    case kExifIfdPointer:
      exifPosition = std::uint64_t{entry.header.valueField} + kTiffBase;
      break;
    case kGpsIfdPointer:
      gpsPosition = std::uint64_t{entry.header.valueField} + kTiffBase;
      break;
    default:
      break;
  }
}

bool readIfd0Fields(const ByteSpan& segment, bool intel, const Ifd0Picks& picks,
                    ExifRecord& record) {
  return takeFirstShort(segment, intel, picks.bitsPerSample, record.bitsPerSample) &&
         takeText(segment, picks.imageDescription, record.imageDescription) &&
         takeText(segment, picks.make, record.make) &&
         takeText(segment, picks.model, record.model) &&
         takeFirstShort(segment, intel, picks.orientation, record.orientation) &&
         takeText(segment, picks.software, record.software) &&
         takeText(segment, picks.dateTime, record.dateTime) &&
         takeText(segment, picks.rightsNotice, record.rightsNotice);
}

void pickExifEntry(const Entry& entry, ExifPicks& picks) {
  if (!entry.place.decodes) return;
  switch (entry.header.tag) {
    case kExposureTime:
      pickIf(hasRational(entry, 0), entry, picks.exposureTime);
      break;
    case kFNumber:
      pickIf(hasRational(entry, 0), entry, picks.fNumber);
      break;
    case kExposureProgram:
      pickIf(hasShort(entry), entry, picks.exposureProgram);
      break;
    case kIsoSpeedRatings:
      pickIf(hasShort(entry), entry, picks.isoSpeed);
      break;
    case kDateTimeOriginal:
      pickIf(isText(entry), entry, picks.dateTimeOriginal);
      break;
    case kDateTimeDigitized:
      pickIf(isText(entry), entry, picks.dateTimeDigitized);
      break;
    case kShutterSpeedValue:  // SRATIONAL in the standard: no values, stays 0
      pickIf(hasRational(entry, 0), entry, picks.shutterSpeedValue);
      break;
    case kExposureBiasValue:  // likewise
      pickIf(hasRational(entry, 0), entry, picks.exposureBiasValue);
      break;
    case kSubjectDistance:
      pickIf(hasRational(entry, 0), entry, picks.subjectDistance);
      break;
    case kMeteringMode:
      pickIf(hasShort(entry), entry, picks.meteringMode);
      break;
    case kFlash:
      pickIf(hasShort(entry), entry, picks.flash);
      break;
    case kFocalLength:
      pickIf(hasRational(entry, 0), entry, picks.focalLength);
      break;
    case kSubsecTimeOriginal:
      pickIf(isText(entry), entry, picks.subsecTimeOriginal);
      break;
    case kPixelXDimension:
      pickIf(hasDimension(entry), entry, picks.imageWidth);
      break;
    case kPixelYDimension:
      pickIf(hasDimension(entry), entry, picks.imageHeight);
      break;
    case kFocalPlaneXResolution:
      pickIf(hasRational(entry, 0), entry, picks.focalPlaneXResolution);
      break;
    case kFocalPlaneYResolution:
      pickIf(hasRational(entry, 0), entry, picks.focalPlaneYResolution);
      break;
    case kFocalPlaneResolutionUnit:
      pickIf(hasShort(entry), entry, picks.focalPlaneResolutionUnit);
      break;
    case kFocalLengthIn35mmFilm:
      pickIf(hasShort(entry), entry, picks.focalLength35mm);
      break;
    case kLensSpecification:
      for (std::uint32_t i = 0; i < 4; ++i) {
        pickIf(hasRational(entry, i), entry, picks.lensSpecification[i]);
      }
      break;
    case kLensMake:
      pickIf(isText(entry), entry, picks.lensMake);
      break;
    case kLensModel:
      pickIf(isText(entry), entry, picks.lensModel);
      break;
    case kOffsetTimeOriginal:
      pickIf(isText(entry), entry, picks.offsetTimeOriginal);
      break;
    case kDigitalZoomRatio:
      pickIf(hasRational(entry, 0), entry, picks.digitalZoomRatio);
      break;
    case kBodySerialNumber:
      pickIf(isText(entry), entry, picks.bodySerialNumber);
      break;
    default:
      break;
  }
}

bool readExifFields(const ByteSpan& segment, bool intel, const ExifPicks& picks,
                    ExifRecord& record) {
  LensData& lens = record.lens;
  const Pick* lensPicks = picks.lensSpecification;
  const bool read =
      takeRational(segment, intel, picks.exposureTime, 0, record.exposureTime) &&
      takeRational(segment, intel, picks.fNumber, 0, record.fNumber) &&
      takeFirstShort(segment, intel, picks.exposureProgram, record.exposureProgram) &&
      takeFirstShort(segment, intel, picks.isoSpeed, record.isoSpeed) &&
      takeText(segment, picks.dateTimeOriginal, record.dateTimeOriginal) &&
      takeText(segment, picks.dateTimeDigitized, record.dateTimeDigitized) &&
      takeRational(segment, intel, picks.shutterSpeedValue, 0, record.shutterSpeedValue) &&
      takeRational(segment, intel, picks.exposureBiasValue, 0, record.exposureBiasValue) &&
      takeRational(segment, intel, picks.subjectDistance, 0, record.subjectDistance) &&
      takeFirstShort(segment, intel, picks.meteringMode, record.meteringMode) &&
      takeFlash(segment, intel, picks.flash, record) &&
      takeRational(segment, intel, picks.focalLength, 0, record.focalLength) &&
      takeText(segment, picks.subsecTimeOriginal, record.subsecTimeOriginal) &&
      takeDimension(segment, intel, picks.imageWidth, record.imageWidth) &&
      takeDimension(segment, intel, picks.imageHeight, record.imageHeight) &&
      takeRational(segment, intel, picks.focalPlaneXResolution, 0, lens.focalPlaneXResolution) &&
      takeRational(segment, intel, picks.focalPlaneYResolution, 0, lens.focalPlaneYResolution) &&
      takeFirstShort(segment, intel, picks.focalPlaneResolutionUnit,
                     lens.focalPlaneResolutionUnit) &&
      takeFirstShort(segment, intel, picks.focalLength35mm, record.focalLength35mm) &&
      takeRational(segment, intel, lensPicks[0], 0, lens.focalLengthMin) &&
      takeRational(segment, intel, lensPicks[1], 1, lens.focalLengthMax) &&
      takeRational(segment, intel, lensPicks[2], 2, lens.fNumberAtMinFocal) &&
      takeRational(segment, intel, lensPicks[3], 3, lens.fNumberAtMaxFocal) &&
      takeText(segment, picks.lensMake, lens.make) &&
      takeText(segment, picks.lensModel, lens.model) &&
      takeText(segment, picks.offsetTimeOriginal, record.offsetTimeOriginal) &&
      takeDigitalZoom(segment, intel, picks.digitalZoomRatio, record) &&
      takeText(segment, picks.bodySerialNumber, record.bodySerialNumber);
  if (!read) return false;
  record.captured = captureTimeOf(record.dateTimeOriginal);
  record.subsecondsOriginal = 0;
  record.hasSubsecondsOriginal = subsecondsOf(record.subsecTimeOriginal, record.subsecondsOriginal);
  record.offsetMinutesOriginal = 0;
  record.hasOffsetOriginal =
      offsetMinutesOf(record.offsetTimeOriginal, record.offsetMinutesOriginal);
  return true;
}

bool handleGpsEntry(const ByteSpan& segment, const unsigned char* entryBytes, bool intel,
                    GpsPosition& gps) {
  const EntryHeader header = readEntryHeader(entryBytes, intel);
  const unsigned char valueByte = entryBytes[8];  // first byte of the value field
  const std::uint64_t valuePosition = std::uint64_t{header.valueField} + kTiffBase;
  const bool coordinate =
      isGpsRational(header) && header.count == 3 && segment.holds(valuePosition, 3 * 8);
  const bool single = isGpsRational(header) && segment.holds(valuePosition, 8);
  unsigned char values[3 * 8];

  switch (header.tag) {
    case kGpsLatitudeRef:
      gps.latitudeParts.direction = directionOf(valueByte);
      if (gps.latitudeParts.direction == 'S') gps.latitude = -gps.latitude;
      break;
    case kGpsLatitude:
      if (!coordinate) break;
      if (!segment.read(valuePosition, 3 * 8, values)) return false;
      readCoordinate(values, intel, gps.latitudeParts, gps.latitude);
      if (gps.latitudeParts.direction == 'S') gps.latitude = -gps.latitude;
      break;
    case kGpsLongitudeRef:
      gps.longitudeParts.direction = directionOf(valueByte);
      if (gps.longitudeParts.direction == 'W') gps.longitude = -gps.longitude;
      break;
    case kGpsLongitude:
      if (!coordinate) break;
      if (!segment.read(valuePosition, 3 * 8, values)) return false;
      readCoordinate(values, intel, gps.longitudeParts, gps.longitude);
      if (gps.longitudeParts.direction == 'W') gps.longitude = -gps.longitude;
      break;
    case kGpsAltitudeRef:
      // EXIF 2.3: 0 above sea level, 1 below. Only the byte value 1 negates.
      gps.altitudeRef = valueByte;
      if (gps.altitudeRef == 1) gps.altitude = -gps.altitude;
      break;
    case kGpsAltitude:
      if (!single) break;
      if (!segment.read(valuePosition, 8, values)) return false;
      gps.altitude = rationalToDouble(readRationalPair(values, intel));
      gps.hasAltitude = true;
      if (gps.altitudeRef == 1) gps.altitude = -gps.altitude;
      break;
    case kGpsDop:
      if (!single) break;
      if (!segment.read(valuePosition, 8, values)) return false;
      gps.dop = rationalToDouble(readRationalPair(values, intel));
      break;
    // Speed, track and image direction take an entry with at least one value
    // (where the older tags above take one of count 0 too); a value over a
    // zero denominator or out of range then leaves the field absent.
    case kGpsSpeedRef:
      if (!referenceLetterOf(header, valueByte, gps.speedRef)) break;
      gps.speedRef = knownLetter(gps.speedRef, "KMN");
      settleSpeed(gps);
      break;
    case kGpsSpeed: {
      if (!single || header.count < 1) break;
      if (!segment.read(valuePosition, 8, values)) return false;
      const Rational stored = readRationalPair(values, intel);
      gps.hasSpeedStored = stored.denominator != 0;
      gps.speedStored = rationalToDouble(stored);
      settleSpeed(gps);
      break;
    }
    case kGpsTrackRef:
    case kGpsImgDirectionRef: {
      GpsBearing& bearing = header.tag == kGpsTrackRef ? gps.track : gps.imageDirection;
      if (referenceLetterOf(header, valueByte, bearing.north)) {
        bearing.north = knownLetter(bearing.north, "TM");
      }
      break;
    }
    case kGpsTrack:
    case kGpsImgDirection:
      if (!single || header.count < 1) break;
      if (!segment.read(valuePosition, 8, values)) return false;
      setBearing(readRationalPair(values, intel),
                 header.tag == kGpsTrack ? gps.track : gps.imageDirection);
      break;
    default:
      break;
  }
  return true;
}

void ExifRecord::reset() { *this = ExifRecord(); }
