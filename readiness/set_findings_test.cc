#include "readiness/set_findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/survey_builder.h"

namespace {

using readiness::SurveyPhoto;

std::vector<readiness::Finding> duplicatesOf(const std::vector<SurveyPhoto>& photos) {
  readiness::SurveyLayout layout = readiness::placePhotos(photos);
  readiness::splitFlights(photos, layout);
  std::vector<readiness::Finding> findings;
  std::uint32_t leftOut = 0;
  readiness::findDuplicates(photos, layout, findings, leftOut);
  return findings;
}

TEST(SetFindings, PhotosAtOneSpotAreDuplicatesUnlessTheFlightHovers) {
  const struct {
    const char* name;
    int photos;
    bool speeds;
    float speed;
    double secondsApart;
    bool duplicate;
  } kCases[] = {
      {"moving, yet at one spot: a stuck position", 6, true, 5, 2, true},
      {"still: a hover", 6, true, 0.1f, 2, false},
      {"no speeds, a second apart each: a hover", 6, false, 0, 1, false},
      {"no speeds, within a second: a burst", 6, false, 0, 0.1, true},
      {"five are not enough", 5, true, 5, 2, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    survey::Plan plan;
    plan.lines = 1;
    std::vector<SurveyPhoto> photos = survey::lawnmower(plan);
    // Photos 4 to 4 + n - 1 all at photo 4's place, within 3 m.
    for (int k = 0; k < c.photos; ++k) {
      SurveyPhoto& photo = photos[4 + k];
      photo.latitude = photos[4].latitude;
      photo.longitude = photos[4].longitude;
      survey::movePhoto(plan, photo, 0, k % 2 ? 3.0 : 0.0);
      photo.hasSpeed = c.speeds;
      photo.speedXMps = c.speed;
      photo.captureSeconds = photos[4].captureSeconds + k * c.secondsApart;
    }
    const std::vector<readiness::Finding> findings = duplicatesOf(photos);
    ASSERT_EQ(findings.size(), c.duplicate ? 1u : 0u);
    if (c.duplicate) {
      EXPECT_EQ(findings[0].cause, readiness::FindingCause::stationary);
      EXPECT_EQ(findings[0].photoCount, std::uint32_t(c.photos));
      EXPECT_EQ(findings[0].photos.front(), 4u);
    }
  }
}

TEST(SetFindings, SameTimeAtAnotherPlaceIsNoDuplicate) {
  std::vector<SurveyPhoto> photos = survey::lawnmower(survey::Plan{});
  photos[11].captureSeconds = photos[10].captureSeconds;
  EXPECT_TRUE(duplicatesOf(photos).empty());
}

TEST(SetFindings, MedianSpacingIsTheStepAlongALine) {
  const survey::Plan plan;
  std::vector<SurveyPhoto> photos = survey::lawnmower(plan);
  // A hover's photos at one spot say nothing of the spacing.
  for (int k = 0; k < 100; ++k) photos.push_back(photos[40]);
  const readiness::SurveyLayout layout = readiness::placePhotos(photos);
  EXPECT_NEAR(*readiness::medianNeighbourSpacing(layout), survey::photoSpacingM(plan), 0.05);
}

TEST(SetFindings, ListsTheLargestCameraGroupsAndCountsTheRest) {
  std::vector<SurveyPhoto> photos = survey::lawnmower(survey::Plan{});
  std::vector<std::string> serials;
  for (int i = 0; i < 12; ++i) serials.push_back("S" + std::to_string(i));
  for (std::size_t i = 0; i < photos.size(); ++i) {
    photos[i].serial = serials[i < 100 ? 0 : 1 + i % 11];
  }
  std::vector<readiness::Finding> findings;
  std::uint32_t leftOut = 0;
  readiness::findMixedCameras(photos, findings, leftOut);
  ASSERT_EQ(findings.size(), 10u);
  EXPECT_EQ(findings[0].label, "S0");
  EXPECT_EQ(findings[0].photoCount, 100u);
  EXPECT_EQ(leftOut, 2u);
}

}  // namespace
