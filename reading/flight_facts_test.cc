// The flight facts kept of a decoded record and its XMP packet: a number is
// taken only whole and in range, the speeds only all three together.
#include "reading/flight_facts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

XmpNumber number(double value) { return XmpNumber{value, true}; }

struct Case {
  const char* name;
  std::function<void(ExifRecord&, XmpFacts&)> change;
  std::function<void(const FlightFacts&)> expect;
};

TEST(FlightFacts, TakenWholeAndInRange) {
  const std::vector<Case> cases = {
      {"all there", [](ExifRecord&, XmpFacts&) {},
       [](const FlightFacts& f) {
         EXPECT_FLOAT_EQ(f.subseconds, 0.27f);
         EXPECT_FLOAT_EQ(f.exposureSeconds, 0.002f);
         EXPECT_FLOAT_EQ(f.fNumber, 5.6f);
         EXPECT_FLOAT_EQ(f.digitalZoomRatio, 1.0f);
         EXPECT_EQ(f.iso, 100);
         EXPECT_TRUE(f.hasOffset);
         EXPECT_EQ(f.offsetMinutes, -210);
         EXPECT_FLOAT_EQ(f.relativeAltitudeM, 119.8f);
         EXPECT_FLOAT_EQ(f.gimbalPitchDeg, -90.0f);
         EXPECT_FLOAT_EQ(f.gimbalYawDeg, 45.5f);
         EXPECT_FLOAT_EQ(f.flightYawDeg, 44.0f);
         EXPECT_FLOAT_EQ(f.speedXMps, 3.0f);
         EXPECT_FLOAT_EQ(f.speedZMps, -0.5f);
         EXPECT_TRUE(f.hasRtkFlag);
         EXPECT_EQ(f.rtkFlag, 50);
       }},
      {"a speed without its third part is none",
       [](ExifRecord&, XmpFacts& x) { x.flightZSpeed.has = false; },
       [](const FlightFacts& f) {
         EXPECT_TRUE(std::isnan(f.speedXMps));
         EXPECT_TRUE(std::isnan(f.speedYMps));
       }},
      {"an RTK flag that is no byte is none",
       [](ExifRecord&, XmpFacts& x) { x.rtkFlag = number(50.5); },
       [](const FlightFacts& f) { EXPECT_FALSE(f.hasRtkFlag); }},
      {"a negative RTK flag is none", [](ExifRecord&, XmpFacts& x) { x.rtkFlag = number(-1); },
       [](const FlightFacts& f) { EXPECT_FALSE(f.hasRtkFlag); }},
      {"a height beyond a float is none",
       [](ExifRecord&, XmpFacts& x) { x.relativeAltitude = number(1e300); },
       [](const FlightFacts& f) { EXPECT_TRUE(std::isnan(f.relativeAltitudeM)); }},
      {"an infinite pitch is none",
       [](ExifRecord&, XmpFacts& x) {
         x.gimbalPitch = number(std::numeric_limits<double>::infinity());
       },
       [](const FlightFacts& f) { EXPECT_TRUE(std::isnan(f.gimbalPitchDeg)); }},
      {"no sub-seconds, no offset, no zoom",
       [](ExifRecord& r, XmpFacts&) {
         r.hasSubsecondsOriginal = false;
         r.hasOffsetOriginal = false;
         r.hasDigitalZoomRatio = false;
       },
       [](const FlightFacts& f) {
         EXPECT_TRUE(std::isnan(f.subseconds));
         EXPECT_FALSE(f.hasOffset);
         EXPECT_EQ(f.offsetMinutes, 0);
         EXPECT_FLOAT_EQ(f.digitalZoomRatio, 0);
       }},
      {"without the gimbal's yaw the camera's is taken, then the photo sphere's",
       [](ExifRecord&, XmpFacts& x) {
         x.gimbalYaw.has = false;
         x.cameraYaw = number(91);
         x.poseHeading = number(92);
         x.cameraPitch = number(0);
       },
       [](const FlightFacts& f) {
         EXPECT_FLOAT_EQ(f.gimbalYawDeg, 91.0f);
         EXPECT_FLOAT_EQ(f.gimbalPitchDeg, -90.0f);
       }},
      {"a photo sphere's heading alone is the yaw",
       [](ExifRecord&, XmpFacts& x) {
         x.gimbalYaw.has = false;
         x.poseHeading = number(92);
       },
       [](const FlightFacts& f) { EXPECT_FLOAT_EQ(f.gimbalYawDeg, 92.0f); }},
      {"no yaw anywhere is none", [](ExifRecord&, XmpFacts& x) { x.gimbalYaw.has = false; },
       [](const FlightFacts& f) { EXPECT_TRUE(std::isnan(f.gimbalYawDeg)); }},
      {"a negative exposure is unknown", [](ExifRecord& r, XmpFacts&) { r.exposureTime = -1; },
       [](const FlightFacts& f) { EXPECT_FLOAT_EQ(f.exposureSeconds, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExifRecord record;
    record.subsecondsOriginal = 0.27;
    record.hasSubsecondsOriginal = true;
    record.exposureTime = 0.002;
    record.fNumber = 5.6;
    record.digitalZoomRatio = 1;
    record.hasDigitalZoomRatio = true;
    record.isoSpeed = 100;
    record.offsetMinutesOriginal = -210;
    record.hasOffsetOriginal = true;
    record.model = "FC6310";
    record.bodySerialNumber = "0K1234";
    XmpFacts xmp;
    xmp.relativeAltitude = number(119.8);
    xmp.gimbalPitch = number(-90);
    xmp.gimbalYaw = number(45.5);
    xmp.flightYaw = number(44);
    xmp.flightXSpeed = number(3);
    xmp.flightYSpeed = number(0);
    xmp.flightZSpeed = number(-0.5);
    xmp.rtkFlag = number(50);
    c.change(record, xmp);
    FlightTexts texts;
    const FlightFacts facts = flightFactsOf(record, &xmp, texts);
    EXPECT_EQ(texts.textOf(facts.model), "FC6310");
    EXPECT_EQ(texts.textOf(facts.serial), "0K1234");
    c.expect(facts);
  }
}

TEST(FlightFacts, NoPacketLeavesTheXmpFieldsUnknown) {
  ExifRecord record;
  FlightTexts texts;
  const FlightFacts facts = flightFactsOf(record, nullptr, texts);
  EXPECT_TRUE(std::isnan(facts.relativeAltitudeM));
  EXPECT_TRUE(std::isnan(facts.gimbalPitchDeg));
  EXPECT_FALSE(facts.hasRtkFlag);
  EXPECT_EQ(facts.model, kNoFlightText);
}

}  // namespace
