// How close the readiness analyses come to what a survey holds, over
// synthetic lawnmowers whose overlap and gaps are known by construction:
// flown in any direction and back and forth, the camera's yaw written or
// not, its long side across the track or along it, 60 to 120 m up, with GPS
// noise, photos in the turns, lines and stretches and a corner missing, a
// battery change and a second flight at another height. Each case checks
// every survey photo's forward and side overlap against the plan's within
// kTolerance, the kinds of finding there and not there, and each coverage
// gap where the plan leaves one, and none elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "readiness/readiness.h"
#include "tests/support/survey_builder.h"

namespace {

using readiness::FindingKind;
using readiness::SurveyPhoto;
using survey::Plan;
using survey::PlannedPhoto;

constexpr double kTolerance = 0.03;
constexpr double kPi = 3.14159265358979323846;

// A part of the plan, in photo spacings along the first line's heading and
// line spacings across it, where a coverage gap must be found.
struct Zone {
  double alongFrom, alongTo, acrossFrom, acrossTo;
};

struct AccuracyCase {
  const char* name;
  std::function<void(Plan&)> plan;
  // The photos not taken (none: every planned photo is there).
  std::function<bool(const PlannedPhoto&)> dropped;
  // A second flight after the first, the plan changed so (none: one flight).
  std::function<void(Plan&)> second;
  std::vector<Zone> gaps;
  std::vector<FindingKind> present;
  std::vector<FindingKind> absent;
  std::uint32_t flights;
};

bool nothingDropped(const PlannedPhoto&) { return false; }

// One photo of the set as planned, with the plan it belongs to.
struct Truth {
  PlannedPhoto planned;
  int survey = 0;  // 0 the first flight's plan, 1 the second's
  double heightM = 0;
};

const Plan& planOf(const std::vector<Plan>& plans, const Truth& truth) {
  return plans[std::size_t(truth.survey)];
}

double clampFraction(double value) { return std::min(1.0, std::max(0.0, value)); }

// The forward overlap of photo i with the worse of its neighbours in its
// line (the photos before and after it in the order flown), from where they
// were planned; NaN for a photo of a turn or alone in its line.
double forwardTruth(const std::vector<Truth>& truths, const std::vector<Plan>& plans,
                    std::size_t i) {
  const Truth& t = truths[i];
  if (t.planned.line < 0) return NAN;
  double worst = NAN;
  for (const std::size_t j : {i - 1, i + 1}) {
    if (j >= truths.size()) continue;
    const Truth& n = truths[j];
    if (n.survey != t.survey || n.planned.line != t.planned.line) continue;
    const double reach = survey::alongTrackM(planOf(plans, t), t.heightM);
    const double overlap = clampFraction(1 - std::fabs(n.planned.along - t.planned.along) / reach);
    if (!(overlap >= worst)) worst = overlap;
  }
  return worst;
}

// The side overlap of photo i with the worse of the nearest lines on
// either side that have a photo abreast of it (within half its footprint
// along the track); NaN where neither side has one.
double sideTruth(const std::vector<Truth>& truths, const std::vector<Plan>& plans, std::size_t i) {
  const Truth& t = truths[i];
  if (t.planned.line < 0) return NAN;
  const Plan& plan = planOf(plans, t);
  const double halfAlong = survey::alongTrackM(plan, t.heightM) / 2;
  double worst = NAN;
  for (const int side : {-1, 1}) {
    double nearest = INFINITY;
    for (const Truth& n : truths) {
      if (n.survey != t.survey || n.planned.line < 0) continue;
      const double across = (n.planned.across - t.planned.across) * side;
      if (!(across > 1) || std::fabs(n.planned.along - t.planned.along) > halfAlong) continue;
      nearest = std::min(nearest, across);
    }
    if (nearest == INFINITY) continue;
    const double overlap = clampFraction(1 - nearest / survey::acrossTrackM(plan, t.heightM));
    if (!(overlap >= worst)) worst = overlap;
  }
  return worst;
}

// A point of the plan (metres along and across the first line) and back.
struct PlanPoint {
  double along, across;
};
PlanPoint planPointOf(const Plan& plan, double latitude, double longitude) {
  SurveyPhoto at;
  at.latitude = latitude;
  at.longitude = longitude;
  const double east = survey::eastOf(plan, at), north = survey::northOf(plan, at);
  const double h = plan.headingDeg * kPi / 180;
  return {east * std::sin(h) + north * std::cos(h), east * std::cos(h) - north * std::sin(h)};
}

struct Accuracy {
  int forwardChecked = 0, sideChecked = 0;
  double forwardWorst = 0, sideWorst = 0;
  double forwardTruthMin = 1, sideTruthMin = 1;
};

class AccuracyTable : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(AccuracyTable, MeasuresWhatThePlanHolds) {
  const AccuracyCase& c = GetParam();
  std::vector<Plan> plans(1);
  c.plan(plans[0]);
  std::vector<PlannedPhoto> planned;
  std::vector<SurveyPhoto> all = survey::lawnmower(plans[0], &planned);
  std::vector<int> surveyOf(all.size(), 0);
  if (c.second) {
    plans.push_back(plans[0]);
    c.second(plans[1]);
    plans[1].startSeconds = all.back().captureSeconds + 900;
    std::vector<PlannedPhoto> more;
    for (const SurveyPhoto& photo : survey::lawnmower(plans[1], &more)) all.push_back(photo);
    planned.insert(planned.end(), more.begin(), more.end());
    surveyOf.resize(all.size(), 1);
  }
  std::vector<SurveyPhoto> photos;
  std::vector<Truth> truths;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (c.dropped(planned[i])) continue;
    photos.push_back(all[i]);
    truths.push_back({planned[i], surveyOf[i], double(all[i].relativeAltitudeM)});
  }
  const readiness::ReadinessResult result = readiness::analyzeReadiness(photos, {});
  EXPECT_EQ(result.flightCount, c.flights);

  Accuracy accuracy;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    SCOPED_TRACE("photo " + std::to_string(i) + " line " + std::to_string(truths[i].planned.line) +
                 " index " + std::to_string(truths[i].planned.index));
    const readiness::PhotoReadiness& measured = result.photos[i];
    const double forward = forwardTruth(truths, plans, i);
    if (!std::isnan(forward)) {
      ASSERT_TRUE(measured.forwardOverlap);
      EXPECT_NEAR(*measured.forwardOverlap, forward, kTolerance);
      accuracy.forwardWorst =
          std::max(accuracy.forwardWorst, std::fabs(*measured.forwardOverlap - forward));
      accuracy.forwardTruthMin = std::min(accuracy.forwardTruthMin, forward);
      ++accuracy.forwardChecked;
    }
    const double side = sideTruth(truths, plans, i);
    if (!std::isnan(side)) {
      ASSERT_TRUE(measured.sideOverlap);
      EXPECT_NEAR(*measured.sideOverlap, side, kTolerance);
      accuracy.sideWorst = std::max(accuracy.sideWorst, std::fabs(*measured.sideOverlap - side));
      accuracy.sideTruthMin = std::min(accuracy.sideTruthMin, side);
      ++accuracy.sideChecked;
    }
  }

  std::set<FindingKind> kinds;
  for (const readiness::Finding& finding : result.findings) kinds.insert(finding.kind);
  for (const FindingKind kind : c.present) {
    EXPECT_TRUE(kinds.count(kind)) << "no " << readiness::kindName(kind);
  }
  for (const FindingKind kind : c.absent) {
    EXPECT_FALSE(kinds.count(kind)) << "a " << readiness::kindName(kind);
  }

  // Every gap found lies in a zone where the plan leaves one, its photos
  // about it; every such zone has a gap found in it.
  const Plan& plan = plans[0];
  const double along = survey::photoSpacingM(plan), across = survey::lineSpacingM(plan);
  const double reach =
      std::hypot(survey::footprintAlongM(plan.heightM), survey::footprintAcrossM(plan.heightM)) / 2;
  std::vector<int> found(c.gaps.size(), 0);
  int gapsFound = 0;
  for (const readiness::Finding& finding : result.findings) {
    if (finding.kind != FindingKind::coverageGap) continue;
    ++gapsFound;
    ASSERT_TRUE(finding.area);
    double alongFrom = INFINITY, alongTo = -INFINITY, acrossFrom = INFINITY, acrossTo = -INFINITY;
    for (const double latitude : {finding.area->south, finding.area->north}) {
      for (const double longitude : {finding.area->west, finding.area->east}) {
        const PlanPoint p = planPointOf(plan, latitude, longitude);
        alongFrom = std::min(alongFrom, p.along);
        alongTo = std::max(alongTo, p.along);
        acrossFrom = std::min(acrossFrom, p.across);
        acrossTo = std::max(acrossTo, p.across);
      }
    }
    bool inZone = false;
    for (std::size_t z = 0; z < c.gaps.size(); ++z) {
      const Zone& zone = c.gaps[z];
      if (alongTo >= zone.alongFrom * along && alongFrom <= zone.alongTo * along &&
          acrossTo >= zone.acrossFrom * across && acrossFrom <= zone.acrossTo * across) {
        inZone = true;
        ++found[z];
      }
    }
    EXPECT_TRUE(inZone) << "a gap where none is planned: along " << alongFrom << ".." << alongTo
                        << " m, across " << acrossFrom << ".." << acrossTo << " m";
    // Its photos: each planned within a footprint of a zone.
    for (const std::uint32_t photo : finding.photos) {
      const PlanPoint p = planPointOf(plan, photos[photo].latitude, photos[photo].longitude);
      bool near = false;
      for (const Zone& zone : c.gaps) {
        near = near || (p.along >= zone.alongFrom * along - reach - 5 &&
                        p.along <= zone.alongTo * along + reach + 5 &&
                        p.across >= zone.acrossFrom * across - reach - 5 &&
                        p.across <= zone.acrossTo * across + reach + 5);
      }
      EXPECT_TRUE(near) << "photo " << photo << " far from its gap";
    }
  }
  for (std::size_t z = 0; z < c.gaps.size(); ++z) {
    EXPECT_GE(found[z], 1) << "no gap found in zone " << z;
  }
  std::printf("| %-44s | %3d %5.1f%% %4.1f | %3d %5.1f%% %4.1f | %zu/%d |\n", c.name,
              accuracy.forwardChecked, 100 * accuracy.forwardTruthMin, 100 * accuracy.forwardWorst,
              accuracy.sideChecked, 100 * accuracy.sideTruthMin, 100 * accuracy.sideWorst,
              c.gaps.size(), gapsFound);
}

using K = FindingKind;
const std::vector<K> kClean = {K::coverageGap, K::lowForwardOverlap, K::lowSideOverlap,
                               K::timeGap,     K::gsdSpread,         K::oblique,
                               K::gpsOutlier,  K::duplicate};
const std::vector<K> kNoGap = {K::coverageGap};

std::function<void(Plan&)> flown(double forward, double side, double heading, double height) {
  return [=](Plan& plan) {
    plan.forwardOverlap = forward;
    plan.sideOverlap = side;
    plan.headingDeg = heading;
    plan.heightM = height;
  };
}

std::function<void(Plan&)> also(std::function<void(Plan&)> first, std::function<void(Plan&)> then) {
  return [=](Plan& plan) {
    first(plan);
    then(plan);
  };
}

// The plan without its fifth line (never flown).
void withoutFifthLine(Plan& plan) {
  plan.lineChanges.resize(5);
  plan.lineChanges[4].skipped = true;
}

// A survey flown as planned at good overlap: no finding of any kind that
// would put it at risk, nor a pause.
AccuracyCase clean(const char* name, std::function<void(Plan&)> plan) {
  return {name, std::move(plan), nothingDropped, nullptr, {}, {}, kClean, 1};
}

const AccuracyCase kCases[] = {
    clean("80/70 north, back and forth", flown(0.8, 0.7, 0, 100)),
    clean("75/65 heading 37, 80 m", flown(0.75, 0.65, 37, 80)),
    clean("90/80 heading 90, 60 m", flown(0.9, 0.8, 90, 60)),
    {"70/60 heading 135, 120 m",
     flown(0.7, 0.6, 135, 120),
     nothingDropped,
     nullptr,
     {},
     {},
     {K::coverageGap, K::timeGap, K::gsdSpread, K::oblique, K::gpsOutlier, K::duplicate},
     1},
    {"60/50 heading 37: both overlaps low",
     flown(0.6, 0.5, 37, 100),
     nothingDropped,
     nullptr,
     {},
     {K::lowForwardOverlap, K::lowSideOverlap},
     kNoGap,
     1},
    clean("all lines one way, heading 90",
          also(flown(0.8, 0.7, 90, 100), [](Plan& p) { p.backAndForth = false; })),
    clean("yaw only in the drone's field, heading 37",
          also(flown(0.8, 0.7, 37, 100), [](Plan& p) { p.yawIn = survey::YawIn::flightOnly; })),
    clean("no yaw written, heading 135",
          also(flown(0.8, 0.7, 135, 100), [](Plan& p) { p.yawIn = survey::YawIn::nowhere; })),
    clean("long side along the track, heading 37",
          also(flown(0.8, 0.7, 37, 100), [](Plan& p) { p.longSideAlong = true; })),
    {"long side along, 65/55, heading 90",
     also(flown(0.65, 0.55, 90, 100), [](Plan& p) { p.longSideAlong = true; }),
     nothingDropped,
     nullptr,
     {},
     {K::lowForwardOverlap, K::lowSideOverlap},
     kNoGap,
     1},
    clean("GPS noise 1.5 m, 80/70 heading 37, 60 m",
          also(flown(0.8, 0.7, 37, 60), [](Plan& p) { p.gpsNoiseM = 1.5; })),
    clean("GPS noise 2 m, 90/75 heading 90, 60 m",
          also(flown(0.9, 0.75, 90, 60), [](Plan& p) { p.gpsNoiseM = 2; })),
    {"GPS noise 1 m, 70/60 heading 135, 120 m",
     also(flown(0.7, 0.6, 135, 120), [](Plan& p) { p.gpsNoiseM = 1; }),
     nothingDropped,
     nullptr,
     {},
     {},
     {K::coverageGap, K::timeGap, K::gsdSpread, K::oblique, K::gpsOutlier, K::duplicate},
     1},
    {"a missing line at 80/70",
     also(flown(0.8, 0.7, 37, 100), withoutFifthLine),
     nothingDropped,
     nullptr,
     {},
     {K::lowSideOverlap},
     kNoGap,
     1},
    {"a missing line at 70/50: a gap along it",
     also(flown(0.7, 0.5, 90, 100), withoutFifthLine),
     nothingDropped,
     nullptr,
     {{0, 20, 3, 5}},
     {K::lowSideOverlap, K::coverageGap},
     {},
     1},
    {"10 photos missing mid-line at 80/70",
     flown(0.8, 0.7, 0, 100),
     [](const PlannedPhoto& p) { return p.line == 3 && p.index >= 6 && p.index < 16; },
     nullptr,
     {},
     {K::lowForwardOverlap, K::lowSideOverlap},
     kNoGap,
     1},
    {"10 photos missing from three lines: a gap",
     flown(0.8, 0.7, 37, 100),
     [](const PlannedPhoto& p) {
       return p.line >= 3 && p.line <= 5 && p.index >= 6 && p.index < 16;
     },
     nullptr,
     {{5, 15, 3, 5}},
     {K::lowForwardOverlap, K::coverageGap},
     {},
     1},
    {"10 photos missing from three lines, GPS noise, 60 m",
     also(flown(0.8, 0.7, 135, 60), [](Plan& p) { p.gpsNoiseM = 1.5; }),
     [](const PlannedPhoto& p) {
       return p.line >= 3 && p.line <= 5 && p.index >= 6 && p.index < 16;
     },
     nullptr,
     {{5, 15, 3, 5}},
     {K::lowForwardOverlap, K::coverageGap},
     {},
     1},
    // The survey's outline, not a hole in it: no gap (a notch is open on two
    // sides).
    {"a missing corner, heading 37",
     flown(0.8, 0.7, 37, 100),
     [](const PlannedPhoto& p) { return p.line >= 6 && p.along > 10.5 * 21.6; },
     nullptr,
     {},
     {},
     {K::coverageGap, K::lowSideOverlap},
     1},
    clean("photos in the turns, heading 37",
          also(flown(0.8, 0.7, 37, 100), [](Plan& p) { p.turnPhotos = 3; })),
    clean("photos in the turns, GPS noise, heading 135", also(flown(0.75, 0.65, 135, 80),
                                                              [](Plan& p) {
                                                                p.turnPhotos = 4;
                                                                p.gpsNoiseM = 1.5;
                                                              })),
    {"GPS noise 2 m, 60/50 heading 37, 60 m: low, but no gap",
     also(flown(0.6, 0.5, 37, 60), [](Plan& p) { p.gpsNoiseM = 2; }),
     nothingDropped,
     nullptr,
     {},
     {K::lowForwardOverlap, K::lowSideOverlap},
     kNoGap,
     1},
    {"GPS noise 2 m, 10 photos missing mid-line, 70/60 heading 90, 120 m",
     also(flown(0.7, 0.6, 90, 120), [](Plan& p) { p.gpsNoiseM = 2; }),
     [](const PlannedPhoto& p) { return p.line == 4 && p.index >= 6 && p.index < 16; },
     nullptr,
     {{5, 15, 3, 5}},
     {K::lowForwardOverlap, K::lowSideOverlap, K::coverageGap},
     {},
     1},
    clean("a racetrack at heading 135 with GPS noise", also(flown(0.8, 0.7, 135, 90),
                                                            [](Plan& p) {
                                                              p.flightOrder = {0, 2, 4, 6,
                                                                               7, 5, 3, 1};
                                                              p.gpsNoiseM = 1.5;
                                                            })),
    clean("12 lines of 30, turns, noise, long side along, heading 37",
          also(flown(0.85, 0.7, 37, 70),
               [](Plan& p) {
                 p.lines = 12;
                 p.photosPerLine = 30;
                 p.turnPhotos = 2;
                 p.gpsNoiseM = 1.5;
                 p.longSideAlong = true;
               })),
    {"two batteries mid-survey, turns and noise",
     also(flown(0.8, 0.7, 90, 100),
          [](Plan& p) {
            p.batteryAfterLines = 3;
            p.turnPhotos = 3;
            p.gpsNoiseM = 1.5;
          }),
     nothingDropped,
     nullptr,
     {},
     {K::timeGap},
     {K::coverageGap, K::lowForwardOverlap, K::lowSideOverlap},
     2},
    {"two batteries, the same area",
     also(flown(0.8, 0.7, 37, 100), [](Plan& p) { p.batteryAfterLines = 4; }),
     nothingDropped,
     nullptr,
     {},
     {K::timeGap},
     {K::coverageGap, K::lowForwardOverlap, K::lowSideOverlap},
     2},
    {"two flights at 80 m and 120 m",
     flown(0.8, 0.7, 0, 80),
     nothingDropped,
     [](Plan& p) { p.heightM = 120; },
     {},
     {K::timeGap},
     kNoGap,
     2},
};

INSTANTIATE_TEST_SUITE_P(Surveys, AccuracyTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<AccuracyCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

}  // namespace
