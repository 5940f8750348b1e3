// The readiness analyses on synthetic flights whose overlap, ground sampling
// distance and gaps are known by construction (tests/support/survey_builder.h).
#include "readiness/readiness.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/survey_builder.h"

namespace {

using readiness::Finding;
using readiness::ReadinessResult;
using readiness::SurveyPhoto;
using Photos = std::vector<SurveyPhoto>;

const char* causeName(readiness::FindingCause cause) {
  static const char* const kNames[] = {"fewViews",        "forwardBelow",    "sideBelow",
                                       "finestPhotos",    "coarsestPhotos",  "pitchOffMedian",
                                       "horizonInView",   "smearAbovePixel", "slowShutter",
                                       "otherModel",      "otherSerial",     "otherFocalLength",
                                       "otherZoom",       "zeroPosition",    "farFromNeighbours",
                                       "missingAltitude", "rtkMixed",        "sameTimeAndPosition",
                                       "stationary",      "flightGap",       "otherDay"};
  return kNames[static_cast<int>(cause)];
}

// "kind/cause: photos" with the photos listed as runs ("3-7,9"), and the
// finding's line and label where it has them.
std::string summary(const Finding& finding) {
  std::string text =
      std::string(readiness::kindName(finding.kind)) + "/" + causeName(finding.cause);
  if (finding.line) text += " line " + std::to_string(*finding.line);
  if (!finding.label.empty()) text += " [" + finding.label + "]";
  text += ":";
  for (std::size_t k = 0; k < finding.photos.size();) {
    std::size_t end = k + 1;
    while (end < finding.photos.size() && finding.photos[end] == finding.photos[end - 1] + 1) ++end;
    text += (k == 0 ? " " : ",") + std::to_string(finding.photos[k]);
    if (end - k > 1) text += "-" + std::to_string(finding.photos[end - 1]);
    k = end;
  }
  return text;
}

std::vector<std::string> summaries(const ReadinessResult& result) {
  std::vector<std::string> texts;
  for (const Finding& finding : result.findings) texts.push_back(summary(finding));
  return texts;
}

struct FlightCase {
  const char* name;
  std::function<void(survey::Plan&)> plan;
  std::function<void(const survey::Plan&, Photos&)> change;
  std::vector<std::string> findings;
  readiness::Verdict verdict;
  std::uint32_t flights;
  std::uint32_t lines;
  // The numbers the construction sets, where the case has any.
  std::function<void(const ReadinessResult&)> measures;
};

void asPlanned(survey::Plan&) {}
void asFlown(const survey::Plan&, Photos&) {}
void noMeasures(const ReadinessResult&) {}

double valueOf(const ReadinessResult& result, readiness::FindingCause cause) {
  for (const Finding& finding : result.findings) {
    if (finding.cause == cause) return finding.value.value_or(-1);
  }
  return -1;
}

// The plan: 8 lines of 21 photos (line l holds photos 21 l to 21 l + 20),
// 100 m up, 80 % forward and 70 % side overlap.
const FlightCase kFlightCases[] = {
    {"lawnmower at 80/70",
     asPlanned,
     asFlown,
     {},
     readiness::Verdict::ready,
     1,
     8,
     [](const ReadinessResult& result) {
       ASSERT_EQ(result.photos.size(), 168u);
       for (std::uint32_t i = 0; i < 168; ++i) {
         const readiness::PhotoReadiness& photo = result.photos[i];
         SCOPED_TRACE(i);
         EXPECT_EQ(photo.flight, 0u);
         EXPECT_EQ(photo.line, i / 21);
         EXPECT_NEAR(*photo.heightAboveGroundM, 100, 1e-3);
         EXPECT_NEAR(*photo.gsdCm, 3.6058, 1e-3);  // 100 * 100 * 43.27 / (24 * 5000)
         EXPECT_NEAR(*photo.forwardOverlap, 0.80, 0.005);
         EXPECT_NEAR(*photo.sideOverlap, 0.70, 0.005);
         EXPECT_GE(*photo.views, 5);
         EXPECT_EQ(*photo.pitchDeg, -90);
         EXPECT_EQ(*photo.yawDeg, (i / 21) % 2 == 0 ? 0 : 180);
         // 21.6 m in 2 s for 1/1000 s over 3.6 cm: 0.3 pixels.
         EXPECT_NEAR(*photo.smearPx, 0.30, 0.005);
       }
       // Inside the survey a point is seen by 5 photos of a line (1 / 0.2)
       // times about 3.3 lines (1 / 0.3): 15 to 20 photos.
       EXPECT_GE(*result.photos[21 * 4 + 10].views, 15);
       EXPECT_LE(*result.photos[21 * 4 + 10].views, 20);
       EXPECT_EQ(result.photosWithoutTime, 0u);
       EXPECT_EQ(result.photosWithoutPosition, 0u);
     }},
    {"one line at 50% forward",
     [](survey::Plan& plan) {
       plan.lineChanges.resize(4);
       plan.lineChanges[3].forwardOverlap = 0.5;
     },
     asFlown,
     // 21 photos at 80 % make 9 at 50 % over the same length: 63-71.
     {"low_forward_overlap/forwardBelow line 3: 63-71"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) {
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::forwardBelow), 0.5, 0.005);
       EXPECT_NEAR(*result.photos[65].forwardOverlap, 0.5, 0.005);
       EXPECT_NEAR(*result.photos[62].forwardOverlap, 0.8, 0.005);
     }},
    {"a missing line",
     [](survey::Plan& plan) {
       plan.lineChanges.resize(5);
       plan.lineChanges[4].skipped = true;
     },
     asFlown,
     // The lines flown before and after the missing one: 63-104, two line
     // spacings apart, so 1 - 2 * 0.3 = 40 % side overlap.
     {"low_side_overlap/sideBelow line 4: 63-104"},
     readiness::Verdict::atRisk,
     1,
     7,
     [](const ReadinessResult& result) {
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::sideBelow), 0.4, 0.005);
       EXPECT_NEAR(*result.photos[90].sideOverlap, 0.4, 0.005);
       EXPECT_NEAR(*result.photos[50].sideOverlap, 0.7, 0.005);
     }},
    {"a racetrack, every other line first",
     [](survey::Plan& plan) { plan.flightOrder = {0, 2, 4, 6, 7, 5, 3, 1}; },
     asFlown,
     // Lines flown one after another lie two spacings apart; the lines side
     // by side overlap 70 %.
     {},
     readiness::Verdict::ready,
     1,
     8,
     [](const ReadinessResult& result) {
       for (std::uint32_t i = 0; i < 168; ++i)
         EXPECT_NEAR(*result.photos[i].sideOverlap, 0.7, 0.005);
     }},
    {"a climb to 2.5x height",
     [](survey::Plan& plan) {
       plan.lineChanges.resize(8);
       plan.lineChanges[6].heightM = plan.lineChanges[7].heightM = 250;
     },
     asFlown,
     // The two lines at 250 m take 9 photos each at 80 %: 126-143.
     {"gsd_spread/finestPhotos [flight 1]: 0-125", "gsd_spread/coarsestPhotos [flight 1]: 126-143"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) {
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::finestPhotos), 2.5, 0.001);
       EXPECT_NEAR(*result.photos[130].gsdCm, 2.5 * 3.6058, 2e-3);
       EXPECT_NEAR(*result.photos[130].heightAboveGroundM, 250, 1e-3);
     }},
    {"one oblique photo",
     asPlanned,
     [](const survey::Plan&, Photos& photos) { photos[25].gimbalPitchDeg = -45; },
     {"oblique/pitchOffMedian: 25"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) {
       // No footprint, no GSD for it; its neighbours keep their overlap.
       EXPECT_EQ(*result.photos[25].pitchDeg, -45);
       EXPECT_FALSE(result.photos[25].gsdCm);
       EXPECT_FALSE(result.photos[25].views);
       EXPECT_NEAR(*result.photos[24].forwardOverlap, 0.8, 0.005);
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::pitchOffMedian), -90, 1e-9);
     }},
    {"one photo with the horizon in view",
     asPlanned,
     [](const survey::Plan&, Photos& photos) { photos[25].gimbalPitchDeg = -10; },
     {"oblique/pitchOffMedian: 25", "oblique/horizonInView: 25"},
     readiness::Verdict::atRisk,
     1,
     8,
     noMeasures},
    {"one zoomed photo",
     asPlanned,
     [](const survey::Plan&, Photos& photos) { photos[30].digitalZoomRatio = 2; },
     {"mixed_camera/otherZoom [1x]: 0-29,31-167", "mixed_camera/otherZoom [2x]: 30"},
     readiness::Verdict::atRisk,
     1,
     8,
     noMeasures},
    {"a second camera on the last line",
     asPlanned,
     [](const survey::Plan&, Photos& photos) {
       for (int i = 147; i < 168; ++i) {
         photos[i].model = "FC3411";
         photos[i].serial = "1581F4XFC";
         photos[i].focalLength35mm = 35;
       }
     },
     {"mixed_camera/otherModel [FC6310]: 0-146", "mixed_camera/otherModel [FC3411]: 147-167",
      "mixed_camera/otherSerial [0K8TH9V0030XYZ]: 0-146",
      "mixed_camera/otherSerial [1581F4XFC]: 147-167",
      "mixed_camera/otherFocalLength [24 mm]: 0-146",
      "mixed_camera/otherFocalLength [35 mm]: 147-167"},
     readiness::Verdict::atRisk,
     1,
     8,
     noMeasures},
    {"two flights a day apart",
     asPlanned,
     [](const survey::Plan& plan, Photos& photos) {
       survey::Plan later = plan;
       later.startSeconds += 86400;
       for (const SurveyPhoto& photo : survey::lawnmower(later)) photos.push_back(photo);
     },
     {"time_gap/otherDay: 167-168"},
     readiness::Verdict::atRisk,
     2,
     16,
     [](const ReadinessResult& result) {
       EXPECT_EQ(result.photos[167].flight, 0u);
       EXPECT_EQ(result.photos[168].flight, 1u);
       EXPECT_EQ(result.photos[168].line, 8u);
       // The two flights see the same ground: twice the views.
       EXPECT_GE(*result.photos[21 * 4 + 10].views, 30);
     }},
    {"two flights ten minutes apart",
     asPlanned,
     [](const survey::Plan& plan, Photos& photos) {
       survey::Plan later = plan;
       later.startSeconds = photos.back().captureSeconds + 600;
       for (const SurveyPhoto& photo : survey::lawnmower(later)) photos.push_back(photo);
     },
     // Said, not a risk.
     {"time_gap/flightGap: 167-168"},
     readiness::Verdict::ready,
     2,
     16,
     [](const ReadinessResult& result) {
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::flightGap), 600, 1e-6);
     }},
    {"a photo copied",
     asPlanned,
     [](const survey::Plan&, Photos& photos) { photos.push_back(photos[10]); },
     {"duplicate/sameTimeAndPosition: 10,168"},
     readiness::Verdict::atRisk,
     1,
     8,
     noMeasures},
    {"an outlier",
     asPlanned,
     [](const survey::Plan& plan, Photos& photos) {
       survey::movePhoto(plan, photos.back(), 5000, 0);
     },
     {"gps_outlier/farFromNeighbours: 167"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) {
       // Ten times the spacing of neighbours in a line, 21.6 m.
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::farFromNeighbours), 216.3, 0.5);
       EXPECT_FALSE(result.photos[167].line);
       EXPECT_FALSE(result.photos[167].gsdCm);
       EXPECT_EQ(result.photosWithoutPosition, 0u);
     }},
    {"a photo at 0/0",
     asPlanned,
     [](const survey::Plan&, Photos& photos) {
       photos.back().latitude = photos.back().longitude = 0;
     },
     {"gps_outlier/zeroPosition: 167"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) { EXPECT_EQ(result.photosWithoutPosition, 1u); }},
    {"RTK mixed with non-RTK",
     asPlanned,
     [](const survey::Plan&, Photos& photos) {
       for (int i = 0; i < 5; ++i) photos[i].rtkFlag = 16;
     },
     {"gps_outlier/rtkMixed: 0-4"},
     readiness::Verdict::atRisk,
     1,
     8,
     noMeasures},
    {"altitude missing on some photos",
     asPlanned,
     [](const survey::Plan&, Photos& photos) {
       photos[3].hasGpsAltitude = photos[4].hasGpsAltitude = false;
     },
     {"gps_outlier/missingAltitude: 3-4"},
     readiness::Verdict::atRisk,
     1,
     8,
     noMeasures},
    {"a slow shutter",
     [](survey::Plan& plan) { plan.exposureSeconds = 1.0f / 60; },
     asFlown,
     {"motion_blur_risk/smearAbovePixel: 0-167", "motion_blur_risk/slowShutter: 0-167"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) {
       // 10.8 m/s for 1/60 s over 3.6 cm: 5 pixels.
       EXPECT_NEAR(valueOf(result, readiness::FindingCause::smearAbovePixel), 5.0, 0.01);
     }},
    {"the same speed from positions and times",
     asPlanned,
     [](const survey::Plan&, Photos& photos) {
       for (SurveyPhoto& photo : photos) {
         photo.hasSpeed = false;
         photo.exposureSeconds = 1.0f / 200;
       }
     },
     // 21.6 m in 2 s for 1/200 s over 3.6 cm: 1.5 pixels; not at the two
     // photos of each turn, whose neighbours lie 48 m apart in 14 s.
     {"motion_blur_risk/smearAbovePixel: 0-19,22-40,43-61,64-82,85-103,106-124,127-145,148-167"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) { EXPECT_NEAR(*result.photos[30].smearPx, 1.5, 0.01); }},
    {"a hole over four lines",
     asPlanned,
     [](const survey::Plan&, Photos& photos) {
       Photos kept;
       for (int i = 0; i < int(photos.size()); ++i) {
         const int line = i / 21, k = line % 2 == 0 ? i % 21 : 20 - i % 21;
         if (line < 3 || line > 6 || k < 8 || k > 12) kept.push_back(photos[i]);
       }
       photos = kept;
     },
     // Lines 3-6 keep 16 photos each: 63-78, 79-94, 95-110, 111-126; the two
     // photos about the hole in each overlap nothing. The gap's photos: those
     // of lines 2 to 7 whose footprints reach it, or come within a cell of
     // it. Abreast of the hole's middle, lines 2 and 7 are neighbours, but
     // for two photos only: that is the hole's edge, not a pair of lines.
     {"coverage_gap/fewViews: 48-56,69-72,85-88,101-104,117-120,133-141",
      "low_forward_overlap/forwardBelow line 3: 70-71",
      "low_forward_overlap/forwardBelow line 4: 86-87",
      "low_forward_overlap/forwardBelow line 5: 102-103",
      "low_forward_overlap/forwardBelow line 6: 118-119"},
     readiness::Verdict::atRisk,
     1,
     8,
     [](const ReadinessResult& result) {
       EXPECT_EQ(valueOf(result, readiness::FindingCause::fewViews), 0);
       EXPECT_EQ(*result.photos[70].forwardOverlap, 0);
     }},
};

class FlightTable : public ::testing::TestWithParam<FlightCase> {};

TEST_P(FlightTable, FindsWhatTheFlightHolds) {
  const FlightCase& c = GetParam();
  survey::Plan plan;
  c.plan(plan);
  Photos photos = survey::lawnmower(plan);
  c.change(plan, photos);
  const ReadinessResult result = readiness::analyzeReadiness(photos, {});
  EXPECT_EQ(summaries(result), c.findings);
  EXPECT_EQ(result.verdict, c.verdict);
  EXPECT_EQ(result.flightCount, c.flights);
  EXPECT_EQ(result.lineCount, c.lines);
  c.measures(result);
}

INSTANTIATE_TEST_SUITE_P(Flights, FlightTable, ::testing::ValuesIn(kFlightCases),
                         [](const ::testing::TestParamInfo<FlightCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

TEST(Readiness, WithoutAHeightAboveGroundItCannotTell) {
  std::vector<SurveyPhoto> photos = survey::lawnmower(survey::Plan{});
  for (SurveyPhoto& photo : photos) photo.hasRelativeAltitude = false;
  const ReadinessResult unknown = readiness::analyzeReadiness(photos, {});
  EXPECT_EQ(unknown.verdict, readiness::Verdict::cannotTell);
  EXPECT_EQ(unknown.photosWithoutHeight, 168u);
  EXPECT_FALSE(unknown.photos[5].gsdCm);
  EXPECT_FALSE(unknown.photos[5].forwardOverlap);
  EXPECT_EQ(unknown.photos[5].line, 0u);  // the flight is still laid out
  // The ground's height above sea level given, the GPS altitude serves.
  readiness::SurveyOptions options;
  options.groundAltitudeM = survey::kGroundM;
  const ReadinessResult known = readiness::analyzeReadiness(photos, options);
  EXPECT_EQ(known.verdict, readiness::Verdict::ready);
  EXPECT_NEAR(*known.photos[5].gsdCm, 3.6058, 1e-3);
  EXPECT_NEAR(*known.photos[5].forwardOverlap, 0.8, 0.005);
}

// Where no photo gets a footprint, the verdict names the first step towards
// one that no photo passed: an all-oblique set has its heights, and is not
// told it has none.
TEST(Readiness, CannotTellSaysWhichStepNoPhotoPassed) {
  const struct {
    const char* name;
    void (*spoil)(SurveyPhoto&);
    const char* verdict;
  } kCases[] = {
      {"no position", [](SurveyPhoto& p) { p.hasPosition = false; },
       "cannot tell: no GPS position"},
      {"no height", [](SurveyPhoto& p) { p.hasRelativeAltitude = false; },
       "cannot tell: no height above ground"},
      {"all oblique",
       [](SurveyPhoto& p) {
         p.hasGimbalPitch = true;
         p.gimbalPitchDeg = -45;
       },
       "cannot tell: no photo looks straight down"},
      {"no focal length", [](SurveyPhoto& p) { p.focalLength35mm = 0; },
       "cannot tell: no 35 mm focal length and pixel size"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<SurveyPhoto> photos = survey::lawnmower(survey::Plan{});
    for (SurveyPhoto& photo : photos) c.spoil(photo);
    const ReadinessResult result = readiness::analyzeReadiness(photos, {});
    EXPECT_EQ(result.verdict, readiness::Verdict::cannotTell);
    EXPECT_STREQ(readiness::verdictText(result.verdict, result.noFootprint), c.verdict);
  }
}

TEST(Readiness, NamesAndTexts) {
  const struct {
    readiness::FindingKind kind;
    const char* name;
  } kKinds[] = {{readiness::FindingKind::coverageGap, "coverage_gap"},
                {readiness::FindingKind::lowForwardOverlap, "low_forward_overlap"},
                {readiness::FindingKind::lowSideOverlap, "low_side_overlap"},
                {readiness::FindingKind::gsdSpread, "gsd_spread"},
                {readiness::FindingKind::oblique, "oblique"},
                {readiness::FindingKind::motionBlurRisk, "motion_blur_risk"},
                {readiness::FindingKind::mixedCamera, "mixed_camera"},
                {readiness::FindingKind::gpsOutlier, "gps_outlier"},
                {readiness::FindingKind::duplicate, "duplicate"},
                {readiness::FindingKind::timeGap, "time_gap"}};
  for (const auto& k : kKinds) EXPECT_STREQ(readiness::kindName(k.kind), k.name);
  EXPECT_STREQ(readiness::verdictText(readiness::Verdict::ready), "ready");
  EXPECT_STREQ(readiness::verdictText(readiness::Verdict::atRisk), "at risk");
  EXPECT_STREQ(readiness::verdictText(readiness::Verdict::cannotTell),
               "cannot tell: no height above ground");

  survey::Plan plan;
  plan.lineChanges.resize(5);
  plan.lineChanges[4].skipped = true;
  const ReadinessResult result = readiness::analyzeReadiness(survey::lawnmower(plan), {});
  ASSERT_EQ(result.findings.size(), 1u);
  EXPECT_EQ(readiness::findingText(result.findings[0]),
            "line 5 of flight 1: side overlap with line 4 40%, below 60% (42 photos)");
}

TEST(Readiness, NothingInACleanVerdictOut) {
  const ReadinessResult result = readiness::analyzeReadiness({}, {});
  EXPECT_EQ(result.verdict, readiness::Verdict::cannotTell);
  EXPECT_TRUE(result.findings.empty());
  EXPECT_EQ(result.flightCount, 0u);
}

TEST(Readiness, MisreadNumbersMeasureNothingAndBreakNothing) {
  const float kBad[] = {std::numeric_limits<float>::quiet_NaN(),
                        std::numeric_limits<float>::infinity(), -1e30f, 1e30f};
  std::vector<SurveyPhoto> photos = survey::lawnmower(survey::Plan{});
  for (std::size_t i = 0; i < photos.size(); i += 4) {
    SurveyPhoto& photo = photos[i];
    const float bad = kBad[(i / 4) % 4];
    photo.relativeAltitudeM = photo.focalLength35mm = photo.exposureSeconds = bad;
    photo.gimbalPitchDeg = photo.gimbalYawDeg = photo.flightYawDeg = bad;
    photo.speedXMps = photo.speedYMps = bad;
    photo.captureSeconds = bad;
    photo.latitude = bad;
  }
  const ReadinessResult result = readiness::analyzeReadiness(photos, {});
  EXPECT_GT(result.gridCellM, 0);
  EXPECT_LT(result.gridCellM, 100);
  for (std::size_t i = 0; i < photos.size(); i += 4) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(result.photos[i].gsdCm);
    EXPECT_FALSE(result.photos[i].smearPx);
    EXPECT_FALSE(result.photos[i].line);
  }
  // The 22 NaN and infinite times; 1e30 s is a time, however far off.
  EXPECT_EQ(result.photosWithoutTime, 22u);
  EXPECT_EQ(result.photosWithoutPosition, 42u);
}

}  // namespace
