// The fields a flight's analysis reads from the EXIF block beside the four
// checks' own: body serial number, digital zoom ratio, the offset and the
// sub-seconds of the capture time, and the GPS speed, track and image
// direction. Each is read when well-formed and left absent otherwise, without
// touching the result code or any other field.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "exif/exif_record.h"
#include "tests/support/jpeg_builder.h"

namespace {

using testsupport::Bytes;
using testsupport::ExifBuilder;
using testsupport::Ifd;
using testsupport::JpegBuilder;

// The new fields of a record, absent ones as nullopt.
struct FlightFields {
  std::string bodySerial;
  std::optional<double> zoom;
  std::optional<int> offsetMinutes;
  std::optional<double> subseconds;
  std::optional<double> speed;  // metres per second
  char speedRef = '?';
  std::optional<double> direction;
  char directionNorth = '?';
  std::optional<double> track;
  char trackNorth = '?';
};

template <typename T>
std::optional<T> present(bool has, T value) {
  return has ? std::optional<T>(value) : std::nullopt;
}

FlightFields fieldsOf(const ExifRecord& r) {
  FlightFields f;
  f.bodySerial = r.bodySerialNumber;
  f.zoom = present(r.hasDigitalZoomRatio, r.digitalZoomRatio);
  f.offsetMinutes = present<int>(r.hasOffsetOriginal, r.offsetMinutesOriginal);
  f.subseconds = present(r.hasSubsecondsOriginal, r.subsecondsOriginal);
  f.speed = present(r.gps.hasSpeed, r.gps.speed);
  f.speedRef = static_cast<char>(r.gps.speedRef);
  f.direction = present(r.gps.imageDirection.has, r.gps.imageDirection.degrees);
  f.directionNorth = static_cast<char>(r.gps.imageDirection.north);
  f.track = present(r.gps.track.has, r.gps.track.degrees);
  f.trackNorth = static_cast<char>(r.gps.track.north);
  return f;
}

bool close(const std::optional<double>& a, const std::optional<double>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || std::fabs(*a - *b) <= 1e-9 * std::max(1.0, std::fabs(*b));
}

bool operator==(const FlightFields& a, const FlightFields& b) {
  return a.bodySerial == b.bodySerial && close(a.zoom, b.zoom) &&
         a.offsetMinutes == b.offsetMinutes && close(a.subseconds, b.subseconds) &&
         close(a.speed, b.speed) && a.speedRef == b.speedRef && close(a.direction, b.direction) &&
         a.directionNorth == b.directionNorth && close(a.track, b.track) &&
         a.trackNorth == b.trackNorth;
}

template <typename T>
std::string text(const std::optional<T>& value) {
  if (!value) return "-";
  std::ostringstream out;
  out.precision(12);
  out << *value;
  return out.str();
}

std::ostream& operator<<(std::ostream& out, const FlightFields& f) {
  return out << "serial \"" << f.bodySerial << "\" zoom " << text(f.zoom) << " offset "
             << text(f.offsetMinutes) << " subsec " << text(f.subseconds) << " speed "
             << text(f.speed) << " " << f.speedRef << " direction " << text(f.direction) << " "
             << f.directionNorth << " track " << text(f.track) << " " << f.trackNorth;
}

// Speeds in metres per second, written out from the units' definitions.
constexpr double kmh(double v) { return v * 1000 / 3600; }
constexpr double mph(double v) { return v * 1609.344 / 3600; }
constexpr double knots(double v) { return v * 1852 / 3600; }

constexpr std::uint32_t kMinusTwo = 0xFFFFFFFE;  // -2 as a signed 32-bit numerator

constexpr std::uint16_t kOffsetTimeOriginal = 0x9011;
constexpr std::uint16_t kSubsecTimeOriginal = 0x9291;
constexpr std::uint16_t kDigitalZoomRatio = 0xA404;
constexpr std::uint16_t kBodySerialNumber = 0xA431;
constexpr std::uint16_t kSpeedRef = 12, kSpeed = 13, kTrackRef = 14, kTrack = 15;
constexpr std::uint16_t kDirectionRef = 16, kDirection = 17;

struct Case {
  const char* what;
  void (*add)(ExifBuilder&);
  void (*expect)(FlightFields&);  // from all absent
};

void nothing(FlightFields&) {}

const Case kCases[] = {
    // Body serial number: any ASCII text, as the other texts.
    {"serial", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kBodySerialNumber, "0K8TFBK0020618"); },
     [](FlightFields& f) { f.bodySerial = "0K8TFBK0020618"; }},
    {"serial as SHORT", [](ExifBuilder& b) { b.addShorts(Ifd::exif, kBodySerialNumber, {48, 49}); },
     nothing},
    {"serial past the segment",
     [](ExifBuilder& b) { b.addRaw(Ifd::exif, kBodySerialNumber, testsupport::kAscii, 4096, 8); },
     nothing},

    // Digital zoom ratio: one RATIONAL; numerator 0 is "not used".
    {"zoom 2", [](ExifBuilder& b) { b.addRationals(Ifd::exif, kDigitalZoomRatio, {{4, 2}}); },
     [](FlightFields& f) { f.zoom = 2; }},
    {"zoom 0/0", [](ExifBuilder& b) { b.addRationals(Ifd::exif, kDigitalZoomRatio, {{0, 0}}); },
     [](FlightFields& f) { f.zoom = 1; }},
    {"zoom 0/100", [](ExifBuilder& b) { b.addRationals(Ifd::exif, kDigitalZoomRatio, {{0, 100}}); },
     [](FlightFields& f) { f.zoom = 1; }},
    {"zoom 1/2", [](ExifBuilder& b) { b.addRationals(Ifd::exif, kDigitalZoomRatio, {{1, 2}}); },
     nothing},
    {"zoom 3/0", [](ExifBuilder& b) { b.addRationals(Ifd::exif, kDigitalZoomRatio, {{3, 0}}); },
     nothing},
    {"zoom -2 SRATIONAL",
     [](ExifBuilder& b) {
       b.addRationals(Ifd::exif, kDigitalZoomRatio, {{kMinusTwo, 1}}, testsupport::kSrational);
     },
     nothing},
    {"zoom as SHORT", [](ExifBuilder& b) { b.addShorts(Ifd::exif, kDigitalZoomRatio, {2}); },
     nothing},
    {"zoom count 0",
     [](ExifBuilder& b) { b.add(Ifd::exif, kDigitalZoomRatio, testsupport::kRational, 0, {}); },
     nothing},

    // OffsetTimeOriginal: exactly "+HH:MM" or "-HH:MM" within 14 hours.
    {"offset +08:00", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "+08:00"); },
     [](FlightFields& f) { f.offsetMinutes = 480; }},
    {"offset -05:45", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "-05:45"); },
     [](FlightFields& f) { f.offsetMinutes = -345; }},
    {"offset +14:00", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "+14:00"); },
     [](FlightFields& f) { f.offsetMinutes = 840; }},
    {"offset -00:00", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "-00:00"); },
     [](FlightFields& f) { f.offsetMinutes = 0; }},
    {"offset +25:00", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "+25:00"); },
     nothing},
    {"offset -14:01", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "-14:01"); },
     nothing},
    {"offset +08:60", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "+08:60"); },
     nothing},
    {"offset unsigned", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "08:00"); },
     nothing},
    {"offset one hour digit",
     [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "+8:00"); }, nothing},
    {"offset with a blank after",
     [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "+08:00 "); }, nothing},
    {"offset unknown", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kOffsetTimeOriginal, "   :  "); },
     nothing},
    {"offset as SHORT", [](ExifBuilder& b) { b.addShorts(Ifd::exif, kOffsetTimeOriginal, {480}); },
     nothing},

    // Sub-seconds: digits only, blanks around them dropped.
    {"subsec 27", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "27"); },
     [](FlightFields& f) { f.subseconds = 0.27; }},
    {"subsec 046", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "046"); },
     [](FlightFields& f) { f.subseconds = 0.046; }},
    {"subsec padded",
     [](ExifBuilder& b) { b.addAsciiBytes(Ifd::exif, kSubsecTimeOriginal, std::string(" 27  ")); },
     [](FlightFields& f) { f.subseconds = 0.27; }},
    {"subsec of 13 digits",
     [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "1234567899999"); },
     [](FlightFields& f) { f.subseconds = 0.123456789; }},
    {"subsec empty", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, ""); },
     nothing},
    {"subsec blank", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "   "); },
     nothing},
    {"subsec with a letter",
     [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "2a"); }, nothing},
    {"subsec with a blank inside",
     [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "2 7"); }, nothing},
    {"subsec negative", [](ExifBuilder& b) { b.addAscii(Ifd::exif, kSubsecTimeOriginal, "-5"); },
     nothing},
    {"subsec as SHORT", [](ExifBuilder& b) { b.addShorts(Ifd::exif, kSubsecTimeOriginal, {27}); },
     nothing},

    // GPS speed: a value and its unit, in either order.
    {"speed km/h",
     [](ExifBuilder& b) { b.addGpsRef(kSpeedRef, 'K').addRationals(Ifd::gps, kSpeed, {{36, 1}}); },
     [](FlightFields& f) {
       f.speed = kmh(36);
       f.speedRef = 'K';
     }},
    {"speed mph, unit after",
     [](ExifBuilder& b) { b.addRationals(Ifd::gps, kSpeed, {{25, 2}}).addGpsRef(kSpeedRef, 'M'); },
     [](FlightFields& f) {
       f.speed = mph(12.5);
       f.speedRef = 'M';
     }},
    {"speed knots SRATIONAL",
     [](ExifBuilder& b) {
       b.addGpsRef(kSpeedRef, 'N')
           .addRationals(Ifd::gps, kSpeed, {{7, 1}}, testsupport::kSrational);
     },
     [](FlightFields& f) {
       f.speed = knots(7);
       f.speedRef = 'N';
     }},
    {"speed unit X",
     [](ExifBuilder& b) { b.addGpsRef(kSpeedRef, 'X').addRationals(Ifd::gps, kSpeed, {{36, 1}}); },
     nothing},
    {"speed without unit", [](ExifBuilder& b) { b.addRationals(Ifd::gps, kSpeed, {{36, 1}}); },
     nothing},
    {"speed unit as BYTE",
     [](ExifBuilder& b) {
       b.add(Ifd::gps, kSpeedRef, testsupport::kByte, 1, {'K'})
           .addRationals(Ifd::gps, kSpeed, {{36, 1}});
     },
     nothing},
    {"speed unit out of line",
     [](ExifBuilder& b) {
       b.addAscii(Ifd::gps, kSpeedRef, "Kmh!").addRationals(Ifd::gps, kSpeed, {{36, 1}});
     },
     nothing},
    {"speed over 0",
     [](ExifBuilder& b) { b.addGpsRef(kSpeedRef, 'K').addRationals(Ifd::gps, kSpeed, {{36, 0}}); },
     [](FlightFields& f) { f.speedRef = 'K'; }},
    {"speed as SHORT",
     [](ExifBuilder& b) { b.addGpsRef(kSpeedRef, 'K').addShorts(Ifd::gps, kSpeed, {36}); },
     [](FlightFields& f) { f.speedRef = 'K'; }},
    {"speed count 0",
     [](ExifBuilder& b) {
       b.addGpsRef(kSpeedRef, 'K').add(Ifd::gps, kSpeed, testsupport::kRational, 0, {});
     },
     [](FlightFields& f) { f.speedRef = 'K'; }},
    {"speed past the segment",
     [](ExifBuilder& b) {
       b.addGpsRef(kSpeedRef, 'K').addRaw(Ifd::gps, kSpeed, testsupport::kRational, 1, 0xFFFFFFF0);
     },
     [](FlightFields& f) { f.speedRef = 'K'; }},

    // GPS image direction and track: degrees within one turn, T or M.
    {"direction true",
     [](ExifBuilder& b) {
       b.addGpsRef(kDirectionRef, 'T').addRationals(Ifd::gps, kDirection, {{29139, 100}});
     },
     [](FlightFields& f) {
       f.direction = 291.39;
       f.directionNorth = 'T';
     }},
    {"direction magnetic, reference after",
     [](ExifBuilder& b) {
       b.addRationals(Ifd::gps, kDirection, {{360, 1}}).addGpsRef(kDirectionRef, 'M');
     },
     [](FlightFields& f) {
       f.direction = 360;
       f.directionNorth = 'M';
     }},
    {"direction without reference",
     [](ExifBuilder& b) { b.addRationals(Ifd::gps, kDirection, {{0, 1}}); },
     [](FlightFields& f) { f.direction = 0; }},
    {"direction reference X",
     [](ExifBuilder& b) {
       b.addGpsRef(kDirectionRef, 'X').addRationals(Ifd::gps, kDirection, {{90, 1}});
     },
     [](FlightFields& f) { f.direction = 90; }},
    {"direction 361", [](ExifBuilder& b) { b.addRationals(Ifd::gps, kDirection, {{361, 1}}); },
     nothing},
    {"direction over 0", [](ExifBuilder& b) { b.addRationals(Ifd::gps, kDirection, {{90, 0}}); },
     nothing},
    {"direction as LONG", [](ExifBuilder& b) { b.addLongs(Ifd::gps, kDirection, {90}); }, nothing},
    {"direction count 0",
     [](ExifBuilder& b) { b.add(Ifd::gps, kDirection, testsupport::kRational, 0, {}); }, nothing},
    {"track true",
     [](ExifBuilder& b) {
       b.addGpsRef(kTrackRef, 'T').addRationals(Ifd::gps, kTrack, {{8931, 100}});
     },
     [](FlightFields& f) {
       f.track = 89.31;
       f.trackNorth = 'T';
     }},
    {"track 400, reference kept",
     [](ExifBuilder& b) { b.addGpsRef(kTrackRef, 'M').addRationals(Ifd::gps, kTrack, {{400, 1}}); },
     [](FlightFields& f) { f.trackNorth = 'M'; }},
};

// A block as a drone writes it, to which each case adds its entries.
ExifBuilder droneExif(bool intel) {
  ExifBuilder b(intel);
  b.addAscii(Ifd::ifd0, 0x010F, "DJI")
      .addAscii(Ifd::ifd0, 0x0110, "FC220")
      .addAscii(Ifd::exif, 0x9003, "2018:03:26 17:52:17")
      .addLongs(Ifd::exif, 0xA002, {4000})
      .addGpsRef(1, 'N')
      .addGpsCoordinate(Ifd::gps, 2, 30, 15, 36)
      .addGpsRef(3, 'W')
      .addGpsCoordinate(Ifd::gps, 4, 120, 30, 0)
      .addGpsAltitude(1234, 10, 1);
  return b;
}

TEST(FlightFields, EachTagWellFormedAbsentOrDamaged) {
  const double latitude = (30.0 + 15.0 / 60.0) + 36.0 / 3600.0;
  for (bool intel : {true, false}) {
    {
      SCOPED_TRACE("no new tag");
      ExifRecord r;
      const Bytes file = JpegBuilder().exif(droneExif(intel).segment()).build();
      ASSERT_EQ(r.parseJpeg(file.data(), static_cast<std::uint32_t>(file.size())), exifOk);
      EXPECT_EQ(fieldsOf(r), FlightFields());
    }
    for (const Case& c : kCases) {
      SCOPED_TRACE(std::string(intel ? "II, " : "MM, ") + c.what);
      ExifBuilder b = droneExif(intel);
      c.add(b);
      FlightFields expected;
      c.expect(expected);
      const Bytes file = JpegBuilder().exif(b.segment()).build();
      ExifRecord r;
      ASSERT_EQ(r.parseJpeg(file.data(), static_cast<std::uint32_t>(file.size())), exifOk);
      EXPECT_EQ(fieldsOf(r), expected);
      // The fields the checks read stay as they are.
      EXPECT_EQ(r.make, "DJI");
      EXPECT_EQ(r.imageWidth, 4000u);
      EXPECT_EQ(r.captured.second, 17);
      EXPECT_EQ(r.gps.latitude, latitude);
      EXPECT_EQ(r.gps.longitude, -(120.5));
      EXPECT_EQ(r.gps.altitude, -123.4);
    }
  }
}

// The last entry of a tag with the right type and count decides; one of
// another type is passed over, as for the other fields.
TEST(FlightFields, TheLastWellTypedEntryDecides) {
  ExifRecord r;
  ExifBuilder b = droneExif(true);
  b.addRationals(Ifd::exif, kDigitalZoomRatio, {{2, 1}})
      .addShorts(Ifd::exif, kDigitalZoomRatio, {5})
      .addRationals(Ifd::gps, kDirection, {{90, 1}})
      .addRationals(Ifd::gps, kDirection, {{90, 0}})
      .addGpsRef(kSpeedRef, 'N')
      .add(Ifd::gps, kSpeedRef, testsupport::kShort, 1, {'K', 0})
      .addRationals(Ifd::gps, kSpeed, {{10, 1}});
  const Bytes file = JpegBuilder().exif(b.segment()).build();
  ASSERT_EQ(r.parseJpeg(file.data(), static_cast<std::uint32_t>(file.size())), exifOk);
  FlightFields expected;
  expected.zoom = 2;
  expected.speed = knots(10);
  expected.speedRef = 'N';
  EXPECT_EQ(fieldsOf(r), expected);
}

}  // namespace
