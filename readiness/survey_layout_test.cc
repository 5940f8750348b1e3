#include "readiness/survey_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/survey_builder.h"

namespace {

using readiness::SurveyPhoto;

TEST(SurveyLayout, HeadingsDifferByTheSmallerAngle) {
  const struct {
    double a, b, difference;
  } kCases[] = {{0, 0, 0},      {10, 350, 20}, {350, 10, 20}, {0, 180, 180},
                {90, 270, 180}, {-90, 270, 0}, {45, 135, 90}, {720, 30, 30}};
  for (const auto& c : kCases) {
    EXPECT_NEAR(readiness::headingDifference(c.a, c.b), c.difference, 1e-9) << c.a << " " << c.b;
  }
}

TEST(SurveyLayout, KeepsASetAcrossThe180thMeridianInOnePiece) {
  std::vector<SurveyPhoto> photos(2);
  photos[0].hasPosition = photos[1].hasPosition = true;
  photos[0].longitude = 179.9995;
  photos[1].longitude = -179.9995;
  photos[0].latitude = photos[1].latitude = 10;
  const std::vector<readiness::LocalPoint> points = readiness::projectLocal(photos);
  // 0.001 degree at latitude 10: 109.5 m, about the centre.
  EXPECT_NEAR(points[1].east - points[0].east, 109.5, 0.1);
  EXPECT_NEAR(points[0].east, -points[1].east, 1e-6);
}

TEST(SurveyLayout, SortsByCaptureTimeAndSaysWhatItCannotPlace) {
  std::vector<SurveyPhoto> photos = survey::lawnmower(survey::Plan{});
  std::reverse(photos.begin(), photos.end());  // listed last photo first
  photos[0].hasCaptureTime = false;            // the last photo taken
  photos[167].hasPosition = false;             // the first
  photos[100].latitude = photos[100].longitude = 0;
  readiness::SurveyLayout layout = readiness::placePhotos(photos);
  readiness::splitFlights(photos, layout);
  EXPECT_EQ(layout.timeOrder.size(), 167u);
  EXPECT_EQ(layout.timeOrder.front(), 167u);
  EXPECT_EQ(layout.timeOrder.back(), 1u);
  EXPECT_FALSE(layout.flightOf[0]);  // no time: no flight, no line
  EXPECT_FALSE(layout.lineOf[0]);
  EXPECT_EQ(layout.flightOf[167], 0u);  // no position: a flight, no line
  EXPECT_FALSE(layout.lineOf[167]);
  EXPECT_FALSE(layout.lineOf[100]);
  EXPECT_EQ(layout.lines.size(), 8u);
  EXPECT_EQ(layout.lineOrder.size(), 165u);
  EXPECT_EQ(layout.lineOf[166], 0u);
  EXPECT_EQ(layout.lineOf[1], 7u);
  EXPECT_NEAR(*layout.lines[0].headingDeg, 0, 0.01);
  EXPECT_NEAR(*layout.lines[1].headingDeg, 180, 0.01);
}

TEST(SurveyLayout, SplitsFlightsAtAPauseAndAtMidnight) {
  const struct {
    const char* name;
    double first, second;
    std::size_t flights;
    readiness::FindingCause cause;
  } kCases[] = {
      {"two minutes", 1000, 1120, 1, readiness::FindingCause::flightGap},
      {"a little over", 1000, 1120.5, 2, readiness::FindingCause::flightGap},
      {"over midnight", 86399, 86401, 2, readiness::FindingCause::otherDay},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<SurveyPhoto> photos(2);
    photos[0].hasCaptureTime = photos[1].hasCaptureTime = true;
    photos[0].captureSeconds = c.first;
    photos[1].captureSeconds = c.second;
    readiness::SurveyLayout layout = readiness::placePhotos(photos);
    readiness::splitFlights(photos, layout);
    EXPECT_EQ(layout.flightBegin.size() - 1, c.flights);
    ASSERT_EQ(layout.timeGaps.size(), c.flights - 1);
    if (c.flights == 2) {
      EXPECT_EQ(layout.timeGaps[0].cause, c.cause);
      EXPECT_EQ(layout.timeGaps[0].flight, 1u);
    }
  }
}

}  // namespace
