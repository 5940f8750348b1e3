#include "checks/value_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(ValueTexts, ResolutionPrintsSigned32BitDecimals) {
  struct Case {
    std::uint32_t width, height;
    const char* text;
  };
  const Case cases[] = {
      {4000, 3000, "4000*3000"},
      {0, 0, "0*0"},              // neither tag present
      {3000, 4000, "3000*4000"},  // never swapped
      {0x7FFFFFFFu, 1, "2147483647*1"},
      {0x80000000u, 0xFFFFFFFFu, "-2147483648*-1"},  // as C's "%d" prints them
  };
  std::string text = "the last photo's text";  // a text is reused from photo to photo
  for (const Case& c : cases) {
    ImageFacts facts;
    facts.imageWidth = c.width;
    facts.imageHeight = c.height;
    EXPECT_TRUE(resolutionValueText(facts, text));
    EXPECT_EQ(text, c.text);
  }
}

// The maker text as the reader stores it, through the kept facts.
TEST(ValueTexts, CameraMakerStopsAtTheFirstZeroByteAndHasNoLengthBound) {
  const std::string longMaker(300, 'M');
  struct Case {
    std::string make, text;
  };
  const Case cases[] = {
      {"Canon", "Canon"},
      {std::string("Canon\0\0\0", 8), "Canon"},
      {std::string("DJI\0Junk", 8), "DJI"},
      {"", ""},
      {"canon ", "canon "},  // case and blanks kept
      {"\xc4\xe1\xbf\xb5", "\xc4\xe1\xbf\xb5"},
      {longMaker, longMaker},
      {longMaker + std::string(1, '\0') + "x", longMaker},
  };
  for (const Case& c : cases) {
    ExifRecord record;
    record.make = c.make;
    ImageFacts facts = factsOfRecord(exifOk, record);
    std::string text;
    EXPECT_TRUE(cameraMakerValueText(facts, text));
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(facts.make, c.text);  // copied: the facts stay whole
  }
}

TEST(ValueTexts, FocalLengthIsAnUnsignedDecimal) {
  const std::pair<std::uint16_t, const char*> cases[] = {
      {0, "0"}, {24, "24"}, {100, "100"}, {32768, "32768"}, {65535, "65535"}};
  std::string text = "the last photo's text";
  for (const auto& [focal, expected] : cases) {
    ImageFacts facts;
    facts.focalLength35mm = focal;
    EXPECT_TRUE(focalLengthValueText(facts, text));
    EXPECT_EQ(text, expected);
  }
}

TEST(ValueTexts, GpsPositionNeedsBothCoordinatesInRangeAndNotAllZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double latitude, longitude, altitude;
    bool hasPosition;
  };
  // clang-format off
  const Case cases[] = {
      {0, 0, 0, false},          // no GPS directory
      {-0.0, 0, -0.0, false},    // negative zero equals 0
      {0, 0, 12.5, true},
      {30.26, 0, 0, true},
      {30.26, 120.1, 15, true},
      {-90, 180, 0, true},       // the bounds themselves
      {90, -180, 0, true},
      {-90.0001, 120, 0, false},
      {45, 180.0001, 0, false},
      {95, 200, 50, false},
      {95, 200, 0, false},       // altitude plays no part in the range test
      {95, 120, 10, false},      // latitude alone out of range
      {45, 200, 10, false},      // longitude alone out of range
      {nan, 120, 10, false},
      {45, nan, 10, false},
      {45, 120, nan, true},      // altitude NaN: in range and not all zero
      {inf, 0, 0, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.latitude << " " << c.longitude << " " << c.altitude);
    ExifRecord record;
    record.gps.latitude = c.latitude;
    record.gps.longitude = c.longitude;
    record.gps.altitude = c.altitude;
    ImageFacts facts = factsOfRecord(exifOk, record);
    EXPECT_EQ(hasGpsPosition(facts), c.hasPosition);
    std::string text;
    EXPECT_EQ(gpsValueText(facts, text), !c.hasPosition);
    EXPECT_EQ(text, c.hasPosition ? "" : "1");
  }
}

// What the facts keep of a record: the result always, the values only when
// the record was decoded.
TEST(ImageFactsOfRecord, KeepTheValuesOfADecodedRecordOnly) {
  for (const ExifResult result : {exifOk, exifNoExif, exifCorrupt}) {
    ExifRecord record;
    record.make = std::string("DJI\0\0", 5);
    record.imageWidth = 4000;
    record.imageHeight = 3000;
    record.focalLength35mm = 24;
    record.gps.latitude = 30.5;
    record.gps.longitude = -120.25;
    record.gps.altitude = 15;
    const ImageFacts facts = factsOfRecord(result, record);
    EXPECT_EQ(facts.read, ImageRead::decoded);
    EXPECT_EQ(facts.result, result);
    EXPECT_EQ(isErrorImage(facts), result != exifOk);
    const bool kept = result == exifOk;
    EXPECT_EQ(facts.make, kept ? "DJI" : "");
    EXPECT_EQ(facts.imageWidth, kept ? 4000u : 0u);
    EXPECT_EQ(facts.imageHeight, kept ? 3000u : 0u);
    EXPECT_EQ(facts.focalLength35mm, kept ? 24 : 0);
    EXPECT_EQ(facts.latitude, kept ? 30.5 : 0);
    EXPECT_EQ(facts.longitude, kept ? -120.25 : 0);
    EXPECT_EQ(facts.altitude, kept ? 15 : 0);
  }
  ImageFacts unread;
  unread.read = ImageRead::unreadable;
  EXPECT_TRUE(isErrorImage(unread));
  unread.read = ImageRead::missing;
  EXPECT_FALSE(isErrorImage(unread));
}

}  // namespace
