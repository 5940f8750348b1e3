// The readiness analyses' view of the kept facts: what each SurveyPhoto
// field is made of, and which PHOTOCHECK_GROUND_M texts are a height.
#include "app/survey_photos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

// A decoded photo with a position, a time and the flight facts a DJI
// drone writes.
ImageFacts droneFacts(FlightTexts& texts) {
  ImageFacts facts;
  facts.read = ImageRead::decoded;
  facts.result = exifOk;
  facts.latitude = 47.5;
  facts.longitude = 8.25;
  facts.altitude = 512.5;
  facts.hasAltitude = true;
  facts.captured = CaptureTime{2023, 11, 14, 8, 0, 2};
  facts.imageWidth = 4000;
  facts.imageHeight = 3000;
  facts.focalLength35mm = 24;
  FlightFacts& f = facts.flight;
  f.subseconds = 0.25f;
  f.exposureSeconds = 0.001f;
  f.fNumber = 2.8f;
  f.digitalZoomRatio = 1.0f;
  f.iso = 100;
  f.model = texts.numberOf("FC6310");
  f.serial = texts.numberOf("0K1234");
  f.relativeAltitudeM = 99.8f;
  f.gimbalPitchDeg = -89.9f;
  f.gimbalYawDeg = 12.5f;
  f.flightYawDeg = 11.0f;
  f.speedXMps = 1.5f;
  f.speedYMps = -2.0f;
  f.speedZMps = 0.0f;
  f.rtkFlag = 50;
  f.hasRtkFlag = true;
  return facts;
}

struct FillCase {
  const char* name;
  std::function<void(ImageFacts&)> change;
  std::function<void(const readiness::SurveyPhoto&)> expect;
};

TEST(SurveyPhotos, EachFieldFromItsFact) {
  using readiness::SurveyPhoto;
  const std::vector<FillCase> cases = {
      {"drone photo", [](ImageFacts&) {},
       [](const SurveyPhoto& p) {
         // 2023-11-14 is day 19675 after 1970-01-01.
         EXPECT_DOUBLE_EQ(p.captureSeconds, 19675.0 * 86400 + 8 * 3600 + 2.25);
         EXPECT_TRUE(p.hasCaptureTime);
         EXPECT_TRUE(p.hasPosition);
         EXPECT_DOUBLE_EQ(p.latitude, 47.5);
         EXPECT_DOUBLE_EQ(p.longitude, 8.25);
         EXPECT_TRUE(p.hasGpsAltitude);
         EXPECT_FLOAT_EQ(p.gpsAltitudeM, 512.5f);
         EXPECT_FLOAT_EQ(p.focalLength35mm, 24);
         EXPECT_EQ(p.width, 4000u);
         EXPECT_EQ(p.height, 3000u);
         EXPECT_FLOAT_EQ(p.exposureSeconds, 0.001f);
         EXPECT_FLOAT_EQ(p.fNumber, 2.8f);
         EXPECT_FLOAT_EQ(p.digitalZoomRatio, 1.0f);
         EXPECT_EQ(p.iso, 100u);
         EXPECT_EQ(p.model, "FC6310");
         EXPECT_EQ(p.serial, "0K1234");
         EXPECT_TRUE(p.hasRelativeAltitude);
         EXPECT_FLOAT_EQ(p.relativeAltitudeM, 99.8f);
         EXPECT_TRUE(p.hasGimbalPitch);
         EXPECT_FLOAT_EQ(p.gimbalPitchDeg, -89.9f);
         EXPECT_TRUE(p.hasGimbalYaw);
         EXPECT_FLOAT_EQ(p.gimbalYawDeg, 12.5f);
         EXPECT_TRUE(p.hasFlightYaw);
         EXPECT_FLOAT_EQ(p.flightYawDeg, 11.0f);
         EXPECT_TRUE(p.hasSpeed);
         EXPECT_FLOAT_EQ(p.speedYMps, -2.0f);
         EXPECT_TRUE(p.hasRtkFlag);
         EXPECT_EQ(p.rtkFlag, 50);
       }},
      {"no sub-seconds: the whole second",
       [](ImageFacts& f) { f.flight.subseconds = kNoFlightNumber; },
       [](const SurveyPhoto& p) {
         EXPECT_DOUBLE_EQ(p.captureSeconds, 19675.0 * 86400 + 8 * 3600 + 2);
       }},
      {"a leap day", [](ImageFacts& f) { f.captured = CaptureTime{2024, 2, 29, 0, 0, 0}; },
       [](const SurveyPhoto& p) { EXPECT_DOUBLE_EQ(p.captureSeconds, 19782.0 * 86400 + 0.25); }},
      {"no capture time", [](ImageFacts& f) { f.captured = CaptureTime{}; },
       [](const SurveyPhoto& p) { EXPECT_FALSE(p.hasCaptureTime); }},
      {"no GPS directory",
       [](ImageFacts& f) {
         f.latitude = f.longitude = f.altitude = 0;
         f.hasAltitude = false;
       },
       [](const SurveyPhoto& p) {
         EXPECT_FALSE(p.hasPosition);
         EXPECT_FALSE(p.hasGpsAltitude);
       }},
      {"0/0 with an altitude is a position to name",
       [](ImageFacts& f) { f.latitude = f.longitude = 0; },
       [](const SurveyPhoto& p) {
         EXPECT_TRUE(p.hasPosition);
         EXPECT_DOUBLE_EQ(p.latitude, 0);
       }},
      {"latitude out of range", [](ImageFacts& f) { f.latitude = 91; },
       [](const SurveyPhoto& p) { EXPECT_FALSE(p.hasPosition); }},
      {"no XMP", [](ImageFacts& f) { f.flight = FlightFacts{}; },
       [](const SurveyPhoto& p) {
         EXPECT_FALSE(p.hasRelativeAltitude);
         EXPECT_FALSE(p.hasGimbalPitch);
         EXPECT_FALSE(p.hasGimbalYaw);
         EXPECT_FALSE(p.hasFlightYaw);
         EXPECT_FALSE(p.hasSpeed);
         EXPECT_FALSE(p.hasRtkFlag);
         EXPECT_TRUE(p.model.empty());
         EXPECT_TRUE(p.hasPosition);
       }},
      {"EXIF damaged: nothing", [](ImageFacts& f) { f.result = exifCorrupt; },
       [](const SurveyPhoto& p) {
         EXPECT_FALSE(p.hasCaptureTime);
         EXPECT_FALSE(p.hasPosition);
         EXPECT_FALSE(p.hasRelativeAltitude);
         EXPECT_EQ(p.width, 0u);
       }},
      {"unreadable: nothing", [](ImageFacts& f) { f.read = ImageRead::unreadable; },
       [](const SurveyPhoto& p) {
         EXPECT_FALSE(p.hasPosition);
         EXPECT_FLOAT_EQ(p.focalLength35mm, 0);
       }},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    FlightTexts texts;
    ImageFacts facts = droneFacts(texts);
    c.change(facts);
    const std::vector<ImageFacts> all = {facts};
    const std::vector<readiness::SurveyPhoto> photos = surveyPhotosOf(all, &texts);
    ASSERT_EQ(photos.size(), 1u);
    c.expect(photos[0]);
  }
}

TEST(SurveyPhotos, TextsNumberedOnceAndBounded) {
  FlightTexts texts;
  EXPECT_EQ(texts.numberOf("FC6310"), 0);
  EXPECT_EQ(texts.numberOf("L1D-20c"), 1);
  EXPECT_EQ(texts.numberOf("FC6310"), 0);
  EXPECT_EQ(texts.numberOf(""), kNoFlightText);
  EXPECT_EQ(texts.textOf(1), "L1D-20c");
  EXPECT_EQ(texts.textOf(kNoFlightText), "");
  // A long text is kept cut, so two serials that differ past the cut are one.
  const std::string longText(200, 'x');
  EXPECT_EQ(texts.textOf(texts.numberOf(longText)).size(), kMostFlightTextBytes);
  for (std::size_t i = texts.texts.size(); i < kMostFlightTexts; ++i) {
    texts.numberOf("serial " + std::to_string(i));
  }
  EXPECT_EQ(texts.numberOf("one more"), kNoFlightText);
  EXPECT_EQ(texts.numberOf("FC6310"), 0);
}

TEST(SurveyPhotos, GroundHeightIsAPlainNumber) {
  struct Case {
    const char* text;
    std::optional<double> height;
  };
  const Case cases[] = {
      {"412", 412.0},
      {"-3.5", -3.5},
      {"+12.25", 12.25},
      {"0", 0.0},
      {".5", 0.5},
      {"7.", 7.0},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"12m", std::nullopt},
      {" 12", std::nullopt},
      {"12,5", std::nullopt},
      {"1e3", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"-", std::nullopt},
      {".", std::nullopt},
      {"1.2.3", std::nullopt},
      {"+-1", std::nullopt},
      {"123456789012345678901234567890123", std::nullopt},  // 33 characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(groundHeightOf(c.text), c.height);
  }
}

}  // namespace
