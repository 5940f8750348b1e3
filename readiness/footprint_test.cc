#include "readiness/footprint.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using readiness::SurveyPhoto;

SurveyPhoto camera(float focal35, std::uint32_t width, std::uint32_t height) {
  SurveyPhoto photo;
  photo.focalLength35mm = focal35;
  photo.width = width;
  photo.height = height;
  return photo;
}

TEST(Footprint, HeightAboveGroundComesFromTheRelativeAltitudeElseTheGroundGiven) {
  const struct {
    const char* name;
    bool hasRelative;
    float relative;
    bool hasGps;
    float gps;
    std::optional<double> ground;
    std::optional<double> height;
  } kCases[] = {
      {"relative altitude", true, 80, true, 480, 300.0, 80.0},
      {"GPS less the ground", false, 0, true, 480, 400.0, 80.0},
      {"sea level alone says nothing", false, 0, true, 480, std::nullopt, std::nullopt},
      {"nothing", false, 0, false, 0, 400.0, std::nullopt},
      {"on the ground", true, 0, true, 400, 400.0, std::nullopt},
      {"below the ground given", false, 0, true, 390, 400.0, std::nullopt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SurveyPhoto photo;
    photo.hasRelativeAltitude = c.hasRelative;
    photo.relativeAltitudeM = c.relative;
    photo.hasGpsAltitude = c.hasGps;
    photo.gpsAltitudeM = c.gps;
    readiness::SurveyOptions options;
    options.groundAltitudeM = c.ground;
    EXPECT_EQ(readiness::heightAboveGround(photo, options), c.height);
  }
}

TEST(Footprint, GroundSampleDistanceFromThe35mmFocalLength) {
  const struct {
    const char* name;
    SurveyPhoto photo;
    double heightM;
    double gsdCm;  // 0: none
  } kCases[] = {
      // OpenDroneMap's own example, calculate_gsd(13.2, 100, 8.8, 5472) =
      // 2.74 cm/px: a 13.2 x 8.8 mm sensor behind 8.8 mm is 24.0 mm in 35 mm
      // terms (8.8 * 43.27 / 15.86).
      {"a 1-inch drone camera at 100 m", camera(24.0f, 5472, 3648), 100, 2.74},
      {"twice as high, twice as coarse", camera(24.0f, 5472, 3648), 200, 5.48},
      {"a longer lens, finer", camera(48.0f, 5472, 3648), 100, 1.37},
      {"no focal length", camera(0, 5472, 3648), 100, 0},
      {"no pixel size", camera(24.0f, 0, 0), 100, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::optional<double> gsd = readiness::groundSampleCm(c.photo, c.heightM);
    if (c.gsdCm == 0) {
      EXPECT_FALSE(gsd);
    } else {
      EXPECT_NEAR(*gsd, c.gsdCm, 0.005);
    }
  }
}

TEST(Footprint, CoversTheImageHeightAlongItsYawAndTheWidthAcross) {
  const std::optional<readiness::Footprint> footprint =
      readiness::nadirFootprint(camera(24.0f, 4000, 3000), 100, 30);
  ASSERT_TRUE(footprint);
  // 3.6058 cm/px: 4000 px are 144.2 m, 3000 px 108.2 m.
  EXPECT_NEAR(footprint->acrossM, 144.23, 0.01);
  EXPECT_NEAR(footprint->alongM, 108.17, 0.01);
  EXPECT_EQ(footprint->yawDeg, 30);
  EXPECT_NEAR(readiness::extentAlong(*footprint, 30), 108.17, 0.01);
  EXPECT_NEAR(readiness::extentAlong(*footprint, 120), 144.23, 0.01);
  EXPECT_NEAR(readiness::extentAlong(*footprint, 210), 108.17, 0.01);
  // Diagonally the shadow is (108.2 + 144.2) / sqrt(2).
  EXPECT_NEAR(readiness::extentAlong(*footprint, 75), 178.48, 0.01);
}

TEST(Footprint, YawFromTheGimbalElseTheDroneElseTheLine) {
  SurveyPhoto photo;
  EXPECT_FALSE(readiness::footprintYaw(photo, std::nullopt));
  EXPECT_EQ(readiness::footprintYaw(photo, 90.0), 90.0);
  photo.hasFlightYaw = true;
  photo.flightYawDeg = 45;
  EXPECT_EQ(readiness::footprintYaw(photo, 90.0), 45.0);
  photo.hasGimbalYaw = true;
  photo.gimbalYawDeg = -10;
  EXPECT_EQ(readiness::footprintYaw(photo, 90.0), -10.0);
}

TEST(Footprint, OnlyPhotosLookingDownHaveOne) {
  const struct {
    bool hasPitch;
    float pitch;
    bool down;
  } kCases[] = {{false, 0, true},   {true, -90, true},  {true, -70, true},
                {true, -69, false}, {true, -45, false}, {true, 0, false}};
  for (const auto& c : kCases) {
    SurveyPhoto photo;
    photo.hasGimbalPitch = c.hasPitch;
    photo.gimbalPitchDeg = c.pitch;
    EXPECT_EQ(readiness::looksDown(photo), c.down) << c.pitch;
  }
}

}  // namespace
