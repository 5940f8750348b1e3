// The EXIF record of one JPEG image and the reader that fills it.
//
// Where the bytes are (JPEG, ITU-T T.81 B.1; EXIF 2.3 4.5.4 and 4.7.2):
//
//   FF D8                      start of image
//   ...
//   FF E1 LL LL                APP1 marker, big-endian length (counts itself)
//   45 78 69 66 00 00          "Exif" and two zero bytes      segment position 0
//   49 49 | 4D 4D              byte order, Intel or Motorola  segment position 6 (TIFF base)
//   2A 00 | 00 2A              TIFF magic number 42           segment position 8
//   o o o o                    offset of IFD0 from the TIFF base
//   ...                        IFD0, EXIF IFD, GPS IFD, IFD1, values
//   ...
//   FF D9                      end of image
//
// Every directory is a 16-bit entry count, that many 12-byte entries (see
// exif/directory_entry.h) and a 4-byte offset of the next directory. The
// reader walks IFD0, the EXIF directory (tag 0x8769 in IFD0) and the GPS
// directory (tag 0x8825 in IFD0); it never follows a next-directory offset.
//
// The reader pulls the bytes from a ByteSource (exif/byte_source.h) and asks
// only for what it needs: the first 2 bytes, the end marker from the back
// (usually the last 2 bytes), the first FF E1 pair from the front (a file
// without one is read to its end), the TIFF header, the directories, and of
// the entries' values only those it keeps (and, when the caller asks for the
// XMP packet's place, one range per segment up to it). It never writes the
// bytes and prints nothing; every outcome of reading the data is an
// ExifResult.
//
// exif/jpeg_segments.cc walks the file, the segment and its directories;
// exif/exif_fields.cc picks the entries that set the record's fields.
//
// Two things end a parse outside the ExifResult codes:
// - A failed source read: the reader stops at once and returns a non-zero
//   result that means nothing. The caller learns of the failure through its
//   own source context and must treat the image as unreadable.
// - std::bad_alloc, the only exception that leaves the reader: the process
//   has no memory left for a text it keeps. A text is read in small pieces up
//   to its first zero byte, so it takes the memory of the bytes it holds,
//   never of the count its entry declares. The reader holds one copy of each
//   text it keeps and besides at most one 64 KiB search buffer and a few KiB.

#ifndef PHOTOCHECK_EXIF_EXIF_RECORD_H_
#define PHOTOCHECK_EXIF_EXIF_RECORD_H_

#include <cstdint>
#include <string>

#include "exif/byte_source.h"
#include "exif/xmp_segment.h"

// Outcome of a parse. Only exifOk means the record may be used.
enum ExifResult : int {
  exifOk = 0,
  // No bytes, fewer than 4, no FF D8 at the front, or no FF D9 pair anywhere.
  exifNotJpeg = 1982,
  // No FF E1 pair with room for its length field, or its data does not begin
  // with "Exif" and two zero bytes.
  exifNoExif = 1983,
  // The TIFF header begins with neither "II" nor "MM".
  exifUnknownByteOrder = 1984,
  // A length, offset or entry count points outside the data, the APP1 length
  // is below 16, the segment is shorter than 14 bytes, or the magic is not 42.
  exifCorrupt = 1985,
};

// One GPS coordinate as stored: three rationals and the reference letter.
struct CoordinateParts {
  double degrees = 0;
  double minutes = 0;
  double seconds = 0;
  // The reference letter as stored ('N', 'S', 'E', 'W', ...), or '?' (0x3F)
  // when the stored byte is zero or the reference tag is absent.
  unsigned char direction = 0x3F;
};

// A GPS bearing: GPSImgDirection (tags 16-17) or GPSTrack (tags 14-15).
struct GpsBearing {
  // 0 to 360 degrees, clockwise from north. Set with `has` only from one
  // RATIONAL or SRATIONAL value with a non-zero denominator inside that range.
  double degrees = 0;
  bool has = false;
  // The reference letter: 'T' true north, 'M' magnetic north, or '?' when the
  // reference entry is absent, no ASCII text of 1 to 4 bytes, or another letter.
  unsigned char north = 0x3F;
};

// The GPS directory's position (EXIF 2.3 4.6.6, tags 1-6, 11 and 12-17).
struct GpsPosition {
  // Signed decimal degrees, negative in the south.
  double latitude = 0;
  // Signed decimal degrees, negative in the west.
  double longitude = 0;
  // Metres, negative when altitudeRef is 1 (below sea level).
  double altitude = 0;
  // True when a GPSAltitude value was read (an altitude of 0 is one too).
  bool hasAltitude = false;
  // First byte of the GPSAltitudeRef value field as stored.
  std::uint8_t altitudeRef = 0;
  // GPSDOP, dilution of precision.
  double dop = 0;
  // GPSSpeed (tag 13) in metres per second, from the unit its GPSSpeedRef
  // (tag 12) names: 'K' km/h, 'M' mph, 'N' knots. Set with hasSpeed only when
  // both entries are well-formed: a speed in an unknown unit is no speed.
  double speed = 0;
  bool hasSpeed = false;
  // GPSSpeed as stored (in the unit of speedRef) and whether one was read,
  // and the reference letter: 'K', 'M', 'N', or '?' when the entry is absent,
  // no ASCII text of 1 to 4 bytes, or another letter. The two entries may
  // stand in either order, so both are kept.
  double speedStored = 0;
  bool hasSpeedStored = false;
  unsigned char speedRef = 0x3F;
  GpsBearing imageDirection;  // where the camera looked
  GpsBearing track;           // where the receiver moved
  CoordinateParts latitudeParts;
  CoordinateParts longitudeParts;
};

// Lens data of the EXIF directory (EXIF 2.3 tags 0xA20E-0xA210, 0xA432-0xA434).
struct LensData {
  double fNumberAtMinFocal = 0;
  double fNumberAtMaxFocal = 0;
  double focalLengthMin = 0;
  double focalLengthMax = 0;
  double focalPlaneXResolution = 0;
  double focalPlaneYResolution = 0;
  std::uint16_t focalPlaneResolutionUnit = 0;
  std::string make;
  std::string model;
};

// A date and time as EXIF stores it, "YYYY:MM:DD HH:MM:SS" (EXIF 2.3
// 4.6.5, DateTimeOriginal), decoded. Year 0: no such time (absent, blank as
// EXIF allows for an unknown time, or not a date and time at all).
struct CaptureTime {
  std::uint16_t year = 0;  // 1 to 9999
  std::uint8_t month = 0;  // 1 to 12
  std::uint8_t day = 0;    // 1 to 31
  std::uint8_t hour = 0;   // 0 to 23
  std::uint8_t minute = 0;
  std::uint8_t second = 0;  // 0 to 60 (a leap second)
};

// The fields read from one image's EXIF block. Strings hold the stored bytes
// up to the first zero byte (the terminating one, or padding after a short
// text). A new record is reset.
struct ExifRecord {
  bool intelByteOrder = false;
  std::string imageDescription;        // IFD0 0x010E
  std::string make;                    // IFD0 0x010F, camera maker
  std::string model;                   // IFD0 0x0110
  std::uint16_t orientation = 0;       // IFD0 0x0112
  std::uint16_t bitsPerSample = 0;     // IFD0 0x0102
  std::string software;                // IFD0 0x0131
  std::string dateTime;                // IFD0 0x0132
  std::string dateTimeOriginal;        // EXIF 0x9003
  CaptureTime captured;                // dateTimeOriginal decoded
  std::string dateTimeDigitized;       // EXIF 0x9004
  std::string subsecTimeOriginal;      // EXIF 0x9291
  std::string rightsNotice;            // IFD0 0x8298, copyright
  double exposureTime = 0;             // EXIF 0x829A
  double fNumber = 0;                  // EXIF 0x829D
  std::uint16_t exposureProgram = 0;   // EXIF 0x8822
  std::uint16_t isoSpeed = 0;          // EXIF 0x8827
  double shutterSpeedValue = 0;        // EXIF 0x9201
  double exposureBiasValue = 0;        // EXIF 0x9204
  double subjectDistance = 0;          // EXIF 0x9206
  double focalLength = 0;              // EXIF 0x920A
  std::uint16_t focalLength35mm = 0;   // EXIF 0xA405
  std::uint8_t flashFired = 0;         // EXIF 0x9209 bit 0
  std::uint16_t flashReturnLight = 0;  // EXIF 0x9209 bits 1-2
  std::uint16_t flashMode = 0;         // EXIF 0x9209 bits 3-4
  std::uint16_t meteringMode = 0;      // EXIF 0x9207
  std::uint32_t imageWidth = 0;        // EXIF 0xA002, PixelXDimension
  std::uint32_t imageHeight = 0;       // EXIF 0xA003, PixelYDimension
  GpsPosition gps;
  LensData lens;

  // The capture time's parts and the camera's identity and zoom, for telling
  // flights, cameras and photos apart.
  //
  // subsecTimeOriginal decoded: its digits (blanks around them dropped, at
  // least one digit, nothing else) as a fraction of a second, "27" 0.27.
  double subsecondsOriginal = 0;
  bool hasSubsecondsOriginal = false;
  std::string offsetTimeOriginal;  // EXIF 0x9011, "+08:00"
  // offsetTimeOriginal decoded: minutes east of UTC, from exactly "+HH:MM" or
  // "-HH:MM" with MM below 60 and at most 14:00 either way.
  std::int16_t offsetMinutesOriginal = 0;
  bool hasOffsetOriginal = false;
  std::string bodySerialNumber;  // EXIF 0xA431
  // EXIF 0xA404, one RATIONAL. A numerator of 0 means no digital zoom was
  // used (DJI cameras store 0/0) and reads as 1; a ratio below 1 or over a
  // zero denominator is no ratio.
  double digitalZoomRatio = 0;
  bool hasDigitalZoomRatio = false;

  // Empties every string, zeroes every number and flag, and sets every GPS
  // reference letter to '?'.
  void reset();

  // Finds the EXIF APP1 segment of the JPEG file behind `source` and decodes
  // it into this record. Returns exifNotJpeg without touching the record;
  // otherwise resets the record first, then fills it as far as the reading
  // got. See above for a failed read and std::bad_alloc.
  //
  // Given `xmp`, it also walks the image's segments for the XMP packet
  // (exif/xmp_segment.h) before the EXIF search, and puts its place there
  // (reset when the file is not a JPEG or has none); a failed read in that
  // walk ends the parse. Without it the parse reads nothing more.
  ExifResult parseJpeg(const ByteSource& source, XmpSegment* xmp = nullptr);

  // The same for a whole file held in memory; `data` may be null.
  ExifResult parseJpeg(const unsigned char* data, std::uint32_t length, XmpSegment* xmp = nullptr);

  // Decodes an EXIF segment in memory: `segment` points at the 'E' of "Exif",
  // `length` bytes from there may be read. Does not reset the record first.
  ExifResult parseExifSegment(const unsigned char* segment, std::uint32_t length);
};

#endif  // PHOTOCHECK_EXIF_EXIF_RECORD_H_
