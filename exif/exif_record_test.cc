#include "exif/exif_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/support/jpeg_builder.h"

namespace {

using testsupport::Bytes;
using testsupport::ExifBuilder;
using testsupport::Ifd;
using testsupport::JpegBuilder;

constexpr bool kOrders[] = {true, false};
const char* orderName(bool intel) { return intel ? "Intel (II)" : "Motorola (MM)"; }

ExifResult parse(const Bytes& file, ExifRecord& record) {
  return record.parseJpeg(file.data(), static_cast<std::uint32_t>(file.size()));
}

Bytes jpeg(const ExifBuilder& exif) { return JpegBuilder().exif(exif.segment()).build(); }

// Parses the builder's segment alone, so the segment ends where the builder
// ends it (inside a file it runs on to the end marker).
ExifResult parseSegment(const ExifBuilder& exif, ExifRecord& record) {
  const Bytes segment = exif.segment();
  return record.parseExifSegment(segment.data(), static_cast<std::uint32_t>(segment.size()));
}

// A realistic block: a Make, an EXIF directory and a GPS position.
ExifBuilder typicalExif(bool intel) {
  ExifBuilder b(intel);
  b.addAscii(Ifd::ifd0, 0x010F, "Canon")
      .addAscii(Ifd::ifd0, 0x0110, "Canon EOS 40D")
      .addShorts(Ifd::ifd0, 0x0112, {6})
      .addLongs(Ifd::exif, 0xA002, {3888})
      .addLongs(Ifd::exif, 0xA003, {2592})
      .addShorts(Ifd::exif, 0xA405, {28})
      .addRationals(Ifd::exif, 0x920A, {{135, 10}})
      .addGpsRef(1, 'N')
      .addGpsCoordinate(Ifd::gps, 2, 30, 15, 36)
      .addGpsRef(3, 'W')
      .addGpsCoordinate(Ifd::gps, 4, 120, 30, 0)
      .addGpsAltitude(1234, 10, 0);
  return b;
}

// A record with a value in every field kind, to see what a parse resets.
ExifRecord dirtyRecord() {
  ExifRecord r;
  r.make = "stale";
  r.imageWidth = 7;
  r.intelByteOrder = true;
  r.gps.latitude = 1;
  r.gps.latitudeParts.direction = 'N';
  r.lens.model = "stale";
  return r;
}

bool isReset(const ExifRecord& r) {
  return r.make.empty() && r.imageWidth == 0 && !r.intelByteOrder && r.gps.latitude == 0 &&
         r.gps.latitudeParts.direction == '?' && r.gps.longitudeParts.direction == '?' &&
         r.lens.model.empty();
}

TEST(ExifRecord, NewAndResetRecordsAreInTheResetState) {
  ExifRecord fresh;
  EXPECT_TRUE(isReset(fresh));
  ExifRecord r = dirtyRecord();
  r.reset();
  EXPECT_TRUE(isReset(r));
  EXPECT_EQ(r.gps.altitudeRef, 0);
}

TEST(ExifRecord, ReadsEveryFieldTheSameInBothByteOrders) {
  for (bool intel : kOrders) {
    SCOPED_TRACE(orderName(intel));
    ExifBuilder b(intel);
    b.addShorts(Ifd::ifd0, 0x0102, {8, 8, 8})
        .addAscii(Ifd::ifd0, 0x010E, "desc")
        .addAscii(Ifd::ifd0, 0x010F, "NIKON CORPORATION")
        .addAscii(Ifd::ifd0, 0x0110, "D70")
        .addShorts(Ifd::ifd0, 0x0112, {8})
        .addAscii(Ifd::ifd0, 0x0131, "fw 1.0")
        .addAscii(Ifd::ifd0, 0x0132, "2020:01:02 03:04:05")
        .addAscii(Ifd::ifd0, 0x8298, "(c) me")
        .addRationals(Ifd::exif, 0x829A, {{1, 250}})
        .addRationals(Ifd::exif, 0x829D, {{56, 10}})
        .addShorts(Ifd::exif, 0x8822, {2})
        .addShorts(Ifd::exif, 0x8827, {400})
        .addAscii(Ifd::exif, 0x9003, "2020:01:02 03:04:05")
        .addAscii(Ifd::exif, 0x9004, "2020:01:02 03:04:06")
        .addRationals(Ifd::exif, 0x9201, {{8, 1}})
        .addRationals(Ifd::exif, 0x9204, {{1, 3}})
        .addRationals(Ifd::exif, 0x9206, {{5, 2}})
        .addShorts(Ifd::exif, 0x9207, {5})
        .addShorts(Ifd::exif, 0x9209, {0x1F})  // fired, return 3, mode 3
        .addRationals(Ifd::exif, 0x920A, {{50, 1}})
        .addAscii(Ifd::exif, 0x9291, "42")
        .addShorts(Ifd::exif, 0xA002, {4000})
        .addLongs(Ifd::exif, 0xA003, {70000})
        .addRationals(Ifd::exif, 0xA20E, {{3000, 1}})
        .addRationals(Ifd::exif, 0xA20F, {{3001, 1}})
        .addShorts(Ifd::exif, 0xA210, {3})
        .addShorts(Ifd::exif, 0xA405, {75})
        .addRationals(Ifd::exif, 0xA432, {{18, 1}, {55, 1}, {35, 10}, {56, 10}})
        .addAscii(Ifd::exif, 0xA433, "Lensmaker")
        .addAscii(Ifd::exif, 0xA434, "18-55mm")
        .addGpsRef(1, 'S')
        .addGpsCoordinate(Ifd::gps, 2, 30, 15, 36)
        .addGpsRef(3, 'E')
        .addGpsCoordinate(Ifd::gps, 4, 120, 30, 0)
        .addGpsAltitude(1234, 10, 1)
        .addRationals(Ifd::gps, 11, {{25, 10}});
    ExifRecord r;
    ASSERT_EQ(parse(jpeg(b), r), exifOk);
    EXPECT_EQ(r.intelByteOrder, intel);
    EXPECT_EQ(r.bitsPerSample, 8);
    EXPECT_EQ(r.imageDescription, "desc");
    EXPECT_EQ(r.make, "NIKON CORPORATION");
    EXPECT_EQ(r.model, "D70");
    EXPECT_EQ(r.orientation, 8);
    EXPECT_EQ(r.software, "fw 1.0");
    EXPECT_EQ(r.dateTime, "2020:01:02 03:04:05");
    EXPECT_EQ(r.rightsNotice, "(c) me");
    EXPECT_EQ(r.exposureTime, 1.0 / 250);
    EXPECT_EQ(r.fNumber, 5.6);
    EXPECT_EQ(r.exposureProgram, 2);
    EXPECT_EQ(r.isoSpeed, 400);
    EXPECT_EQ(r.dateTimeOriginal, "2020:01:02 03:04:05");
    EXPECT_EQ(r.dateTimeDigitized, "2020:01:02 03:04:06");
    EXPECT_EQ(r.shutterSpeedValue, 8.0);
    EXPECT_EQ(r.exposureBiasValue, 1.0 / 3);
    EXPECT_EQ(r.subjectDistance, 2.5);
    EXPECT_EQ(r.meteringMode, 5);
    EXPECT_EQ(r.flashFired, 1);
    EXPECT_EQ(r.flashReturnLight, 3);
    EXPECT_EQ(r.flashMode, 3);
    EXPECT_EQ(r.focalLength, 50.0);
    EXPECT_EQ(r.subsecTimeOriginal, "42");
    EXPECT_EQ(r.imageWidth, 4000u);    // SHORT widened
    EXPECT_EQ(r.imageHeight, 70000u);  // LONG above 65535
    EXPECT_EQ(r.lens.focalPlaneXResolution, 3000.0);
    EXPECT_EQ(r.lens.focalPlaneYResolution, 3001.0);
    EXPECT_EQ(r.lens.focalPlaneResolutionUnit, 3);
    EXPECT_EQ(r.focalLength35mm, 75);
    EXPECT_EQ(r.lens.focalLengthMin, 18.0);
    EXPECT_EQ(r.lens.focalLengthMax, 55.0);
    EXPECT_EQ(r.lens.fNumberAtMinFocal, 3.5);
    EXPECT_EQ(r.lens.fNumberAtMaxFocal, 5.6);
    EXPECT_EQ(r.lens.make, "Lensmaker");
    EXPECT_EQ(r.lens.model, "18-55mm");
    EXPECT_EQ(r.gps.latitude, -((30.0 + 15.0 / 60.0) + 36.0 / 3600.0));
    EXPECT_EQ(r.gps.latitudeParts.direction, 'S');
    EXPECT_EQ(r.gps.latitudeParts.minutes, 15.0);
    EXPECT_EQ(r.gps.longitude, 120.5);
    EXPECT_EQ(r.gps.longitudeParts.direction, 'E');
    EXPECT_EQ(r.gps.altitudeRef, 1);
    EXPECT_EQ(r.gps.altitude, -123.4);
    EXPECT_TRUE(r.gps.hasAltitude);
    EXPECT_EQ(r.gps.dop, 2.5);
    EXPECT_EQ(r.captured.year, 2020);
    EXPECT_EQ(r.captured.month, 1);
    EXPECT_EQ(r.captured.day, 2);
    EXPECT_EQ(r.captured.hour, 3);
    EXPECT_EQ(r.captured.minute, 4);
    EXPECT_EQ(r.captured.second, 5);
  }
}

// The capture time is decoded from DateTimeOriginal alone; a text that is
// no date and time leaves it unknown (year 0).
TEST(ExifRecord, CaptureTimeFromTheOriginalDateAndTime) {
  struct TimeCase {
    const char* text;
    int year, month, day, hour, minute, second;
  };
  const TimeCase cases[] = {
      {"2024:05:17 10:42:07", 2024, 5, 17, 10, 42, 7},
      {"0001:12:31 23:59:60", 1, 12, 31, 23, 59, 60},
      {"2024:05:17 10:42:07+02:00", 2024, 5, 17, 10, 42, 7},  // a zone after it
      {"    :  :     :  :  ", 0, 0, 0, 0, 0, 0},              // unknown, as EXIF allows
      {"2024-05-17 10:42:07", 0, 0, 0, 0, 0, 0},
      {"2024:13:17 10:42:07", 0, 0, 0, 0, 0, 0},
      {"2024:05:00 10:42:07", 0, 0, 0, 0, 0, 0},
      {"2024:05:17 24:00:00", 0, 0, 0, 0, 0, 0},
      {"0000:05:17 10:42:07", 0, 0, 0, 0, 0, 0},
      {"2024:05:17 10:42:0", 0, 0, 0, 0, 0, 0},
      {"", 0, 0, 0, 0, 0, 0},
  };
  for (const TimeCase& c : cases) {
    ExifRecord r;
    ExifBuilder b(true);
    b.addAscii(Ifd::exif, 0x9004, "2001:01:01 01:01:01").addAscii(Ifd::exif, 0x9003, c.text);
    ASSERT_EQ(parse(jpeg(b), r), exifOk) << c.text;
    const int got[] = {r.captured.year, r.captured.month,  r.captured.day,
                       r.captured.hour, r.captured.minute, r.captured.second};
    const int wanted[] = {c.year, c.month, c.day, c.hour, c.minute, c.second};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], wanted[i]) << c.text << " field " << i;
  }
}

TEST(ExifRecord, ResultCodesAtTheirBoundaries) {
  const Bytes typical = typicalExif(true).segment();
  struct Case {
    const char* what;
    Bytes file;
    ExifResult expected;
  };
  auto with = [&](ExifBuilder b) { return jpeg(b); };
  ExifBuilder emptyIfd0(true);
  const std::uint32_t ifd0End = static_cast<std::uint32_t>(emptyIfd0.segment().size()) - 6;
  const Case cases[] = {
      {"typical file", jpeg(typicalExif(true)), exifOk},
      {"only SOI and EOI", {0xFF, 0xD8, 0xFF, 0xD9}, exifNoExif},
      {"no FF E1 pair", JpegBuilder().build(), exifNoExif},
      // An FF E1 pair always leaves room for a length field before the end
      // pair; here the "length" is 00 FF, running past the end.
      {"FF E1 just before the end marker",
       {0xFF, 0xD8, 0x00, 0xFF, 0xE1, 0x00, 0xFF, 0xD9},
       exifCorrupt},
      {"first FF E1 is XMP, EXIF follows",
       JpegBuilder()
           .segmentBefore(0xE1, testsupport::xmpPayload("<x:xmpmeta/>"))
           .exif(typical)
           .build(),
       exifNoExif},
      {"EXIF after an XMP APP1 placed after it",
       JpegBuilder().exif(typical).segmentAfter(0xE1, testsupport::xmpPayload("<x/>")).build(),
       exifOk},
      {"APP1 length 15", JpegBuilder().exif(typical).app1Length(15).build(), exifCorrupt},
      {"APP1 length 16: only checked, not a bound",
       JpegBuilder().exif(typical).app1Length(16).build(), exifOk},
      {"APP1 length past the end", JpegBuilder().exif(typical).app1Length(0xFFFF).build(),
       exifCorrupt},
      {"not Exif 00 00",
       JpegBuilder().exif({'E', 'x', 'i', 'f', 0, 1, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0}).build(),
       exifNoExif},
      {"byte order II MM mixed", with(ExifBuilder(true).byteOrderBytes(0x49, 0x4D)),
       exifUnknownByteOrder},
      {"byte order ii", with(ExifBuilder(true).byteOrderBytes(0x69, 0x69)), exifUnknownByteOrder},
      {"magic 43", with(ExifBuilder(true).magic(43)), exifCorrupt},
      {"magic 42 in the other order", with(ExifBuilder(false).magic(0x2A00)), exifCorrupt},
  };
  for (const Case& c : cases) {
    ExifRecord r;
    EXPECT_EQ(parse(c.file, r), c.expected) << c.what;
  }

  // Directory bounds, on the segment alone.
  struct SegmentCase {
    const char* what;
    ExifBuilder exif;
    ExifResult expected;
  };
  const SegmentCase segmentCases[] = {
      {"IFD0 at the end of the segment", (ExifBuilder(true).ifd0Offset(ifd0End)), exifCorrupt},
      {"IFD0 one byte before the end", (ExifBuilder(true).ifd0Offset(ifd0End - 1)), exifCorrupt},
      {"IFD0 offset near 2^32", (ExifBuilder(true).ifd0Offset(0xFFFFFFFA)), exifCorrupt},
      {"IFD0 count one too many",
       (ExifBuilder(true).addShorts(Ifd::ifd0, 0x0112, {1}).entryCount(Ifd::ifd0, 2)), exifCorrupt},
      {"IFD0 count 0xFFFF", (ExifBuilder(true).entryCount(Ifd::ifd0, 0xFFFF)), exifCorrupt},
      {"EXIF count one too many",
       (ExifBuilder(true).addShorts(Ifd::exif, 0xA405, {28}).entryCount(Ifd::exif, 2)),
       exifCorrupt},
      {"GPS count one too many", (ExifBuilder(true).addGpsRef(1, 'N').entryCount(Ifd::gps, 2)),
       exifCorrupt},
      {"EXIF pointer near 2^32 is absent",
       (ExifBuilder(true).addRaw(Ifd::ifd0, 0x8769, 4, 1, 0xFFFFFFFA)), exifOk},
      {"GPS pointer near 2^32 is absent",
       (ExifBuilder(true).addRaw(Ifd::ifd0, 0x8825, 4, 1, 0xFFFFFFFC)), exifOk},
      {"GPS pointer to the last 3 bytes is absent",
       (ExifBuilder(true).addRaw(Ifd::ifd0, 0x8825, 4, 1, ifd0End + 12 - 3)), exifOk},
      // Its count (0, from the zero next-IFD offset) is readable, but the
      // empty directory's 4-byte next offset is not there.
      {"GPS pointer to the last 4 bytes",
       (ExifBuilder(true).addRaw(Ifd::ifd0, 0x8825, 4, 1, ifd0End + 12 - 4)), exifCorrupt},
      {"EXIF pointer to the last 4 bytes",
       (ExifBuilder(true).addRaw(Ifd::ifd0, 0x8769, 4, 1, ifd0End + 12 - 4)), exifCorrupt},
      {"empty GPS directory that fits", (ExifBuilder(true).forceDirectory(Ifd::gps)), exifOk},
  };
  for (const SegmentCase& c : segmentCases) {
    ExifRecord r;
    EXPECT_EQ(parseSegment(c.exif, r), c.expected) << c.what;
  }
}

TEST(ExifRecord, NotJpegLeavesTheRecordUntouched) {
  const Bytes good = jpeg(typicalExif(true));
  Bytes noEnd = JpegBuilder().exif(typicalExif(true).segment()).withoutEndMarker().build();
  const Bytes wrongStart = {0xFF, 0xD9, 0xFF, 0xD9};
  const Bytes tiny = {0xFF, 0xD8, 0xFF};
  const Bytes minimal = {0xFF, 0xD8, 0xFF, 0xD9};
  ExifRecord r = dirtyRecord();
  EXPECT_EQ(r.parseJpeg(nullptr, 100), exifNotJpeg);
  EXPECT_EQ(r.parseJpeg(good.data(), 0), exifNotJpeg);
  EXPECT_EQ(r.parseJpeg(tiny.data(), 3), exifNotJpeg);
  EXPECT_EQ(r.parseJpeg(wrongStart.data(), 4), exifNotJpeg);
  EXPECT_EQ(parse(noEnd, r), exifNotJpeg);
  EXPECT_EQ(r.make, "stale");
  EXPECT_TRUE(r.intelByteOrder);
  EXPECT_EQ(r.gps.latitudeParts.direction, 'N');
  // The smallest file with both markers is a JPEG without EXIF.
  EXPECT_EQ(r.parseJpeg(minimal.data(), 4), exifNoExif);
  EXPECT_TRUE(isReset(r));
}

TEST(ExifRecord, RecordStateAfterEachResult) {
  for (bool intel : kOrders) {
    SCOPED_TRACE(orderName(intel));
    // 1983 and 1984: reset, nothing filled (not even the byte order).
    ExifRecord r = dirtyRecord();
    EXPECT_EQ(parse(JpegBuilder().build(), r), exifNoExif);
    EXPECT_TRUE(isReset(r));
    r = dirtyRecord();
    EXPECT_EQ(parse(jpeg(typicalExif(intel).byteOrderBytes(0x4D, 0x49)), r), exifUnknownByteOrder);
    EXPECT_TRUE(isReset(r));

    // 1985 at the magic number: the byte order is already stored.
    r = dirtyRecord();
    EXPECT_EQ(parse(jpeg(typicalExif(intel).magic(0)), r), exifCorrupt);
    EXPECT_EQ(r.intelByteOrder, intel);
    EXPECT_TRUE(r.make.empty());

    // 1985 at the EXIF directory: IFD0 fields set, EXIF fields not.
    r = dirtyRecord();
    EXPECT_EQ(parse(jpeg(typicalExif(intel).entryCount(Ifd::exif, 200)), r), exifCorrupt);
    EXPECT_EQ(r.make, "Canon");
    EXPECT_EQ(r.imageWidth, 0u);

    // 1985 at the GPS directory: IFD0 and EXIF fields set, GPS not.
    r = dirtyRecord();
    EXPECT_EQ(parse(jpeg(typicalExif(intel).entryCount(Ifd::gps, 200)), r), exifCorrupt);
    EXPECT_EQ(r.make, "Canon");
    EXPECT_EQ(r.imageWidth, 3888u);
    EXPECT_EQ(r.gps.latitude, 0.0);
    EXPECT_EQ(r.gps.latitudeParts.direction, '?');

    // Parsing twice: the second parse starts from reset (a file without GPS
    // does not keep the first file's position).
    r = ExifRecord();
    ASSERT_EQ(parse(jpeg(typicalExif(intel)), r), exifOk);
    ASSERT_NE(r.gps.latitude, 0.0);
    ASSERT_EQ(parse(jpeg(ExifBuilder(intel).addAscii(Ifd::ifd0, 0x010F, "Sony")), r), exifOk);
    EXPECT_EQ(r.make, "Sony");
    EXPECT_EQ(r.gps.latitude, 0.0);
    EXPECT_EQ(r.imageWidth, 0u);
    EXPECT_EQ(r.gps.longitudeParts.direction, '?');
  }
}

TEST(ExifRecord, ParseExifSegmentDoesNotReset) {
  ExifRecord r = dirtyRecord();
  const Bytes segment = ExifBuilder(true).addShorts(Ifd::exif, 0xA405, {24}).segment();
  ASSERT_EQ(r.parseExifSegment(segment.data(), static_cast<std::uint32_t>(segment.size())), exifOk);
  EXPECT_EQ(r.focalLength35mm, 24);
  EXPECT_EQ(r.make, "stale");
  EXPECT_EQ(r.imageWidth, 7u);
  EXPECT_EQ(r.parseExifSegment(nullptr, 100), exifNoExif);
}

TEST(ExifRecord, EndMarkerIsTheLastPairAndBoundsTheSegment) {
  // File: SOI, APP1 with the segment, EOI. The Make's out-of-line bytes are
  // the last bytes of the segment.
  const std::string make = "A long maker name";
  const Bytes segment = ExifBuilder(true).addAscii(Ifd::ifd0, 0x010F, make).segment();
  auto file = [&](const Bytes& body, const Bytes& after) {
    Bytes f = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10};
    f.insert(f.end(), body.begin(), body.end());
    f.insert(f.end(), after.begin(), after.end());
    return f;
  };
  struct Case {
    const char* what;
    Bytes file;
    std::string expectedMake;
  };
  // The Make's 18 bytes end the segment; the early EOI below leaves 17 of them.
  const Bytes shortBody(segment.begin(), segment.end() - 3);
  const Case cases[] = {
      {"EOI right after the segment", file(segment, {0xFF, 0xD9}), make},
      {"trailing bytes after EOI", file(segment, {0xFF, 0xD9, 0x00, 0xD9, 0xFF}), make},
      {"a thumbnail's EOI inside, the real one later",
       file(segment, {0xFF, 0xD8, 0x01, 0xFF, 0xD9, 0x02, 0xFF, 0xD9}), make},
      // An EOI two bytes early cuts the Make's data off: the entry is passed
      // over, the parse still succeeds.
      {"EOI inside the Make data", file(shortBody, {0xFF, 0xD9, 'm', 'e', 0x00}), ""},
  };
  for (const Case& c : cases) {
    ExifRecord r;
    EXPECT_EQ(parse(c.file, r), exifOk) << c.what;
    EXPECT_EQ(r.make, c.expectedMake) << c.what;
  }
}

TEST(ExifRecord, FirstFfE1PairCountsEvenInsideAnotherSegment) {
  // A comment that happens to hold FF E1 and a long enough length: that is
  // taken as the APP1, its data is not "Exif", so there is no EXIF.
  Bytes comment = {'x', 0xFF, 0xE1, 0x00, 0x20, 'y'};
  EXPECT_EQ(
      [&] {
        ExifRecord r;
        return parse(
            JpegBuilder().segmentBefore(0xFE, comment).exif(typicalExif(true).segment()).build(),
            r);
      }(),
      exifNoExif);
  // A comment holding FF E1, a length and a whole EXIF segment is read.
  Bytes embedded = {0xFF, 0xE1, 0x00, 0x10};
  const Bytes segment = typicalExif(false).segment();
  embedded.insert(embedded.end(), segment.begin(), segment.end());
  ExifRecord r;
  EXPECT_EQ(parse(JpegBuilder().segmentBefore(0xFE, embedded).build(), r), exifOk);
  EXPECT_EQ(r.make, "Canon");
}

TEST(ExifRecord, EntryRules) {
  for (bool intel : kOrders) {
    SCOPED_TRACE(orderName(intel));
    ExifRecord r;
    // Later entries replace earlier ones; a wrong format is passed over.
    ASSERT_EQ(parse(jpeg(ExifBuilder(intel)
                             .addAscii(Ifd::ifd0, 0x010F, "First")
                             .addAscii(Ifd::ifd0, 0x010F, "Second")
                             .addShorts(Ifd::ifd0, 0x0110, {1})
                             .addLongs(Ifd::ifd0, 0x0112, {3})
                             .addShorts(Ifd::exif, 0xA002, {4000})
                             .addLongs(Ifd::exif, 0xA002, {})  // LONG without values: no change
                             .addShorts(Ifd::exif, 0xA003, {3000})
                             .addShorts(Ifd::exif, 0xA405, {})  // SHORT without values
                             .addRationals(Ifd::exif, 0x9204, {{1, 3}}, testsupport::kSrational)
                             .addRationals(Ifd::exif, 0xA432, {{18, 1}, {55, 1}})
                             .addLongs(Ifd::exif, 0xA405, {50})),
                    r),
              exifOk);
    EXPECT_EQ(r.make, "Second");
    EXPECT_TRUE(r.model.empty());
    EXPECT_EQ(r.orientation, 0);
    EXPECT_EQ(r.imageWidth, 4000u);
    EXPECT_EQ(r.imageHeight, 3000u);
    EXPECT_EQ(r.focalLength35mm, 0);
    EXPECT_EQ(r.exposureBiasValue, 0.0);  // SRATIONAL carries no values
    EXPECT_EQ(r.lens.focalLengthMax, 55.0);
    EXPECT_EQ(r.lens.fNumberAtMinFocal, 0.0);

    // A Make of count 32 holding a short name ends at its first zero byte.
    r = ExifRecord();
    ASSERT_EQ(parse(jpeg(ExifBuilder(intel).addAsciiBytes(Ifd::ifd0, 0x010F,
                                                          "DJI" + std::string(29, '\0'))),
                    r),
              exifOk);
    EXPECT_EQ(r.make, "DJI");

    // Tags of one directory are not read from another; IFD0 width is ignored.
    r = ExifRecord();
    ASSERT_EQ(parse(jpeg(ExifBuilder(intel)
                             .addLongs(Ifd::ifd0, 0x0100, {640})
                             .addLongs(Ifd::ifd0, 0xA002, {640})
                             .addAscii(Ifd::exif, 0x010F, "Wrong")
                             .addAscii(Ifd::gps, 0x010F, "Wrong")),
                    r),
              exifOk);
    EXPECT_EQ(r.imageWidth, 0u);
    EXPECT_TRUE(r.make.empty());
  }
}

TEST(ExifRecord, PointerTagsTakeTheValueFieldOfAnyAcceptedFormat) {
  for (bool intel : kOrders) {
    SCOPED_TRACE(orderName(intel));
    struct Case {
      const char* what;
      std::uint16_t format;
      bool read;
    };
    const Case cases[] = {
        {"LONG", testsupport::kLong, true},   {"UNDEFINED", testsupport::kUndefined, true},
        {"SLONG", testsupport::kSlong, true}, {"format 13 (IFD) is refused", 13, false},
        {"DOUBLE is refused", 12, false},
    };
    for (const Case& c : cases) {
      ExifBuilder b(intel);
      b.addShorts(Ifd::exif, 0xA405, {28}).addGpsRef(1, 'S').addGpsCoordinate(Ifd::gps, 2, 1, 0, 0);
      b.pointerValue(Ifd::exif, b.directoryPosition(Ifd::exif) - 6, c.format);
      b.pointerValue(Ifd::gps, b.directoryPosition(Ifd::gps) - 6, c.format);
      ExifRecord r;
      ASSERT_EQ(parse(jpeg(b), r), exifOk) << c.what;
      EXPECT_EQ(r.focalLength35mm, c.read ? 28 : 0) << c.what;
      EXPECT_EQ(r.gps.latitude, c.read ? -1.0 : 0.0) << c.what;
    }
    // A pointer with a text type whose value field lies inline is taken as a number.
    ExifBuilder b(intel);
    b.addShorts(Ifd::exif, 0xA405, {35}).omitPointer(Ifd::exif);
    const std::uint32_t position = b.directoryPosition(Ifd::exif) - 6 + 12;  // one more IFD0 entry
    b.addInlineBytes(Ifd::ifd0, 0x8769, testsupport::kAscii, 4,
                     intel ? Bytes{static_cast<unsigned char>(position), 0, 0, 0}
                           : Bytes{0, 0, 0, static_cast<unsigned char>(position)});
    ExifRecord r;
    ASSERT_EQ(parse(jpeg(b), r), exifOk);
    EXPECT_EQ(r.focalLength35mm, 35);
  }
}

TEST(ExifRecord, GpsSignsAndCoordinateRules) {
  const double lat = (30.0 + 15.0 / 60.0) + 36.0 / 3600.0;  // 30/1 15/1 36/1
  struct Case {
    const char* what;
    char latRef;  // 0: no reference entry
    bool refFirst;
    std::uint8_t altitudeRef;
    double latitude;
    double altitude;
  };
  const Case cases[] = {
      {"N, reference first", 'N', true, 0, lat, 123.4},
      {"N, reference last", 'N', false, 0, lat, 123.4},
      {"S, reference first", 'S', true, 1, -lat, -123.4},
      {"S, reference last", 'S', false, 1, -lat, -123.4},
      {"no reference", 0, true, 0x31, lat, 123.4},  // the digit '1' does not negate
      {"zero reference byte", '\0', false, 2, lat, 123.4},
  };
  for (bool intel : kOrders) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(orderName(intel)) + ", " + c.what);
      ExifBuilder b(intel);
      const bool zeroByte = c.what == std::string("zero reference byte");
      auto addRefs = [&] {
        if (zeroByte)
          b.addInlineBytes(Ifd::gps, 1, testsupport::kAscii, 2, {0, 0});
        else if (c.latRef != 0)
          b.addGpsRef(1, c.latRef);
        b.add(Ifd::gps, 5, testsupport::kByte, 1, {c.altitudeRef});
      };
      if (c.refFirst) addRefs();
      b.addGpsCoordinate(Ifd::gps, 2, 30, 15, 36).addRationals(Ifd::gps, 6, {{1234, 10}});
      if (!c.refFirst) addRefs();
      ExifRecord r;
      ASSERT_EQ(parse(jpeg(b), r), exifOk);
      EXPECT_EQ(r.gps.latitude, c.latitude);
      EXPECT_EQ(r.gps.altitude, c.altitude);
      EXPECT_EQ(r.gps.altitudeRef, c.altitudeRef);
      EXPECT_EQ(r.gps.latitudeParts.direction, c.latRef == 0 ? '?' : c.latRef);
      EXPECT_EQ(r.gps.latitudeParts.seconds, 36.0);
    }
  }
}

TEST(ExifRecord, GpsEntriesThatArePassedOver) {
  for (bool intel : kOrders) {
    SCOPED_TRACE(orderName(intel));
    ExifRecord r;
    // Count 2, a SHORT coordinate and an out-of-range altitude offset are
    // passed over; SRATIONAL is read unsigned; 0/0 counts as 0.
    ASSERT_EQ(parse(jpeg(ExifBuilder(intel)
                             .addRationals(Ifd::gps, 2, {{10, 1}, {20, 1}})
                             .addShorts(Ifd::gps, 4, {1, 2, 3})
                             .addRaw(Ifd::gps, 6, testsupport::kRational, 1, 0xFFFFFFFC)
                             .addRationals(Ifd::gps, 11, {{1, 2}}, testsupport::kSrational)),
                    r),
              exifOk);
    EXPECT_EQ(r.gps.latitude, 0.0);
    EXPECT_EQ(r.gps.longitude, 0.0);
    EXPECT_EQ(r.gps.altitude, 0.0);
    EXPECT_EQ(r.gps.dop, 0.5);

    r = ExifRecord();
    ASSERT_EQ(parse(jpeg(ExifBuilder(intel)
                             .addRationals(Ifd::gps, 4, {{0xFFFFFFFF, 1}, {30, 1}, {0, 0}},
                                           testsupport::kSrational)
                             .addGpsRef(3, 'W')
                             .addGpsRef(1, 'S')),  // S without a latitude: negative zero
                    r),
              exifOk);
    EXPECT_EQ(r.gps.longitude, -(4294967295.0 + 0.5));
    EXPECT_EQ(r.gps.longitudeParts.seconds, 0.0);
    EXPECT_EQ(r.gps.latitude, 0.0);
    EXPECT_TRUE(std::signbit(r.gps.latitude));

    // Coordinate rationals must lie wholly inside the segment: place the
    // 24 bytes so that they end one byte past it, then exactly at its end.
    for (std::uint32_t overshoot : {1u, 0u}) {
      ExifBuilder b(intel);
      b.addRaw(Ifd::gps, 2, testsupport::kRational, 3, 0);
      Bytes tail;
      for (std::uint32_t v : {1u, 1u, 2u, 1u, 3u, 1u}) {
        for (int i = 0; i < 4; ++i) {
          tail.push_back(static_cast<unsigned char>(intel ? (v >> (8 * i)) : (v >> (24 - 8 * i))));
        }
      }
      const auto end = static_cast<std::uint32_t>(b.segment().size()) + 24;  // with the tail
      ExifBuilder placed(intel);
      placed.addRaw(Ifd::gps, 2, testsupport::kRational, 3, end - 24 - 6 + overshoot).tail(tail);
      r = ExifRecord();
      ASSERT_EQ(parseSegment(placed, r), exifOk);
      EXPECT_EQ(r.gps.latitude, overshoot ? 0.0 : (1.0 + 2.0 / 60.0) + 3.0 / 3600.0) << overshoot;
    }
  }
}

// Every length of a valid segment: exact codes where the structure ends,
// a known code and no out-of-bounds read anywhere (run under ASan).
TEST(ExifRecord, TruncationSweepOfParseExifSegment) {
  const std::set<int> known = {exifOk, exifNoExif, exifUnknownByteOrder, exifCorrupt};
  for (bool intel : kOrders) {
    SCOPED_TRACE(orderName(intel));
    const ExifBuilder builder = typicalExif(intel);
    const Bytes full = builder.segment();
    const std::uint32_t gpsPosition = builder.directoryPosition(Ifd::gps);
    for (std::uint32_t n = 0; n <= full.size(); ++n) {
      // A copy of exactly n bytes, so ASan sees any read past the end.
      const Bytes cut(full.begin(), full.begin() + n);
      ExifRecord r;
      const ExifResult result = r.parseExifSegment(cut.empty() ? nullptr : cut.data(), n);
      if (n < 6) {
        EXPECT_EQ(result, exifNoExif) << n;
      } else if (n < 14 || n < 6 + 8 + 2) {
        EXPECT_EQ(result, exifCorrupt) << n;  // header or IFD0 count missing
      } else if (n == full.size()) {
        EXPECT_EQ(result, exifOk);
        EXPECT_EQ(r.gps.altitude, 123.4);
      } else if (n >= gpsPosition + 4 && n < gpsPosition + 6 + 12 * 6) {
        EXPECT_EQ(result, exifCorrupt) << n;  // GPS count present, entries cut
      } else {
        EXPECT_EQ(known.count(result), 1u) << n << ": " << result;
      }
    }
  }
}

TEST(ExifRecord, LargeFileWithPaddingAndTrailer) {
  const Bytes file = JpegBuilder()
                         .segmentBefore(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0})
                         .exif(typicalExif(false).segment())
                         .padding(3u << 20)
                         .trailing({0x00, 0x01})
                         .build();
  ASSERT_GT(file.size(), 3u << 20);
  ExifRecord r;
  ASSERT_EQ(parse(file, r), exifOk);
  EXPECT_EQ(r.imageWidth, 3888u);
  EXPECT_EQ(r.gps.longitude, -120.5);
}

}  // namespace

// A maker entry that declares a gigabyte of a file that holds zero bytes
// there (a sparse file): the text is empty, and reading it costs one small
// piece, not the declared count.
TEST(ExifRecord, TextIsReadUpToItsFirstZeroByteNotItsDeclaredCount) {
  constexpr std::uint32_t kFileSize = 1u << 30;
  constexpr std::uint32_t kTextOffset = 64 * 1024;  // from the TIFF base
  struct Sparse {
    Bytes head;
    std::uint64_t bytesRead = 0;
  } sparse;
  sparse.head =
      JpegBuilder()
          .exif(ExifBuilder(true)
                    .addRaw(Ifd::ifd0, 0x010F, 2, kFileSize - 2 * kTextOffset, kTextOffset)
                    .addLongs(Ifd::exif, 0xA002, {4000})
                    .segment())
          .withoutEndMarker()
          .build();
  ByteSource source;
  source.size = kFileSize;
  source.context = &sparse;
  source.read = [](void* context, std::uint32_t offset, std::uint32_t length, unsigned char* out) {
    Sparse& file = *static_cast<Sparse*>(context);
    file.bytesRead += length;
    for (std::uint32_t i = 0; i < length; ++i) {
      const std::uint64_t at = std::uint64_t{offset} + i;
      out[i] = at < file.head.size() ? file.head[at] : 0;
      if (at == kFileSize - 2) out[i] = 0xFF;  // the end marker, FF D9
      if (at == kFileSize - 1) out[i] = 0xD9;
    }
    return true;
  };
  ExifRecord r;
  r.make = "stale";
  ASSERT_EQ(r.parseJpeg(source), exifOk);
  EXPECT_EQ(r.make, "");
  EXPECT_EQ(r.imageWidth, 4000u);
  EXPECT_LT(sparse.bytesRead, 16u * 1024);

  // A text that stops short of its count at a zero byte far into a piece
  // boundary, and one without any zero byte, are each read whole.
  const std::string longText(1000, 'x');
  for (const std::string& stored : {longText + '\0' + "tail", longText}) {
    r = ExifRecord();
    ASSERT_EQ(parse(jpeg(ExifBuilder(true).addAsciiBytes(Ifd::ifd0, 0x010F, stored)), r), exifOk);
    EXPECT_EQ(r.make, longText);
  }
}
