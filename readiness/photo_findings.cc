#include "readiness/photo_findings.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "readiness/finding_photos.h"
#include "readiness/thresholds.h"

namespace readiness {

namespace {

// "flights 1, 3" for the flights of the finding's photos (1-based), or "no
// flight" where none has one.
std::string flightsOf(const std::vector<PhotoReadiness>& measured,
                      const std::vector<std::uint32_t>& all) {
  std::set<std::uint32_t> flights;
  for (std::uint32_t photo : all) {
    if (measured[photo].flight) flights.insert(*measured[photo].flight);
  }
  if (flights.empty()) return "no flight";
  std::string text = flights.size() == 1 ? "flight " : "flights ";
  bool first = true;
  for (std::uint32_t flight : flights) {
    text += (first ? "" : ", ") + std::to_string(flight + 1);
    first = false;
  }
  return text;
}

bool hasPitch(const SurveyPhoto& photo) {
  return photo.hasGimbalPitch && std::isfinite(photo.gimbalPitchDeg);
}

void flagPitchesOff(const std::vector<SurveyPhoto>& photos, const std::vector<std::uint32_t>& group,
                    std::optional<std::uint32_t> flight, std::vector<float>& pitches,
                    std::vector<Finding>& findings) {
  pitches.clear();
  for (std::uint32_t photo : group) pitches.push_back(photos[photo].gimbalPitchDeg);
  if (pitches.empty()) return;
  auto middle = pitches.begin() + pitches.size() / 2;
  std::nth_element(pitches.begin(), middle, pitches.end());
  const double median = *middle;
  Finding finding = makeFinding(FindingKind::oblique, FindingCause::pitchOffMedian);
  for (std::uint32_t photo : group) {
    if (std::fabs(photos[photo].gimbalPitchDeg - median) > kMaxPitchOffMedianDeg) {
      addPhoto(finding, photo);
    }
  }
  if (finding.photoCount == 0) return;
  finding.flight = flight;
  finding.value = median;
  putInListOrder(finding);
  findings.push_back(std::move(finding));
}

}  // namespace

void findGsdSpread(const std::vector<PhotoReadiness>& measured, std::vector<Finding>& findings) {
  double finest = 0, coarsest = 0;
  for (const PhotoReadiness& photo : measured) {
    if (!photo.gsdCm) continue;
    if (finest == 0 || *photo.gsdCm < finest) finest = *photo.gsdCm;
    coarsest = std::max(coarsest, double(*photo.gsdCm));
  }
  if (!(finest > 0) || coarsest / finest <= kMaxGsdSpread) return;
  Finding fine = makeFinding(FindingKind::gsdSpread, FindingCause::finestPhotos);
  Finding coarse = makeFinding(FindingKind::gsdSpread, FindingCause::coarsestPhotos);
  std::vector<std::uint32_t> fineAll, coarseAll;
  for (std::uint32_t i = 0; i < measured.size(); ++i) {
    if (!measured[i].gsdCm) continue;
    if (*measured[i].gsdCm * kMaxGsdSpread < coarsest) {
      addPhoto(fine, i);
      fineAll.push_back(i);
    }
    if (*measured[i].gsdCm > kMaxGsdSpread * finest) {
      addPhoto(coarse, i);
      coarseAll.push_back(i);
    }
  }
  fine.value = coarse.value = coarsest / finest;
  fine.label = flightsOf(measured, fineAll);
  coarse.label = flightsOf(measured, coarseAll);
  findings.push_back(std::move(fine));
  findings.push_back(std::move(coarse));
}

void findOblique(const std::vector<SurveyPhoto>& photos, std::vector<PhotoReadiness>& measured,
                 std::vector<Finding>& findings) {
  std::uint32_t flights = 0;
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (!hasPitch(photos[i])) continue;
    measured[i].pitchDeg = photos[i].gimbalPitchDeg;
    if (measured[i].flight) flights = std::max(flights, *measured[i].flight + 1);
  }
  // The photos of each flight, and last those of none, by a counting sort.
  std::vector<std::uint32_t> start(flights + 2, 0);
  const auto groupOf = [&](std::uint32_t i) {
    return measured[i].flight ? *measured[i].flight : flights;
  };
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (hasPitch(photos[i])) ++start[groupOf(i) + 1];
  }
  for (std::uint32_t g = 1; g < start.size(); ++g) start[g] += start[g - 1];
  std::vector<std::uint32_t> grouped(start.back());
  std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (hasPitch(photos[i])) grouped[next[groupOf(i)]++] = i;
  }
  std::vector<float> pitches;
  std::vector<std::uint32_t> group;
  for (std::uint32_t g = 0; g <= flights; ++g) {
    group.assign(grouped.begin() + start[g], grouped.begin() + start[g + 1]);
    flagPitchesOff(photos, group, g < flights ? std::optional<std::uint32_t>(g) : std::nullopt,
                   pitches, findings);
  }
  Finding horizon = makeFinding(FindingKind::oblique, FindingCause::horizonInView);
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (!hasPitch(photos[i]) || photos[i].gimbalPitchDeg <= kHorizonPitchDeg) continue;
    addPhoto(horizon, i);
    if (!horizon.value || photos[i].gimbalPitchDeg > *horizon.value) {
      horizon.value = photos[i].gimbalPitchDeg;
    }
  }
  if (horizon.photoCount > 0) findings.push_back(std::move(horizon));
}

std::optional<double> groundSpeed(const std::vector<SurveyPhoto>& photos,
                                  const SurveyLayout& layout, std::uint32_t k) {
  const std::uint32_t photo = layout.lineOrder[k];
  if (photos[photo].hasSpeed) {
    return std::hypot(double(photos[photo].speedXMps), double(photos[photo].speedYMps));
  }
  const std::uint32_t flight = layout.lines[*layout.lineOf[photo]].flight;
  const auto sameFlight = [&](std::uint32_t other) {
    return layout.lines[*layout.lineOf[other]].flight == flight;
  };
  std::uint32_t from = photo, to = photo;
  if (k > 0 && sameFlight(layout.lineOrder[k - 1])) from = layout.lineOrder[k - 1];
  if (k + 1 < layout.lineOrder.size() && sameFlight(layout.lineOrder[k + 1])) {
    to = layout.lineOrder[k + 1];
  }
  const double seconds = photos[to].captureSeconds - photos[from].captureSeconds;
  if (!(seconds > 0)) return std::nullopt;
  const LocalPoint& a = layout.points[from];
  const LocalPoint& b = layout.points[to];
  return std::hypot(b.east - a.east, b.north - a.north) / seconds;
}

void findMotionBlur(const std::vector<SurveyPhoto>& photos, const SurveyLayout& layout,
                    std::vector<PhotoReadiness>& measured, std::vector<Finding>& findings) {
  Finding smear = makeFinding(FindingKind::motionBlurRisk, FindingCause::smearAbovePixel);
  for (std::uint32_t k = 0; k < layout.lineOrder.size(); ++k) {
    const std::uint32_t photo = layout.lineOrder[k];
    if (!(photos[photo].exposureSeconds > 0) || !measured[photo].gsdCm) continue;
    const std::optional<double> speed = groundSpeed(photos, layout, k);
    if (!speed) continue;
    const double pixels = photos[photo].exposureSeconds * *speed / (*measured[photo].gsdCm / 100.0);
    if (!std::isfinite(pixels)) continue;  // a misread speed or exposure
    measured[photo].smearPx = static_cast<float>(pixels);
    if (pixels <= kMaxSmearPixels) continue;
    addPhoto(smear, photo);
    if (!smear.value || pixels > *smear.value) smear.value = pixels;
  }
  if (smear.photoCount > 0) {
    putInListOrder(smear);
    findings.push_back(std::move(smear));
  }
  Finding slow = makeFinding(FindingKind::motionBlurRisk, FindingCause::slowShutter);
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    // A little above: 1/80 s written as a float is a hair over 1/80.
    if (!(photos[i].exposureSeconds > kSlowShutterSeconds * 1.001) ||
        !std::isfinite(photos[i].exposureSeconds)) {
      continue;
    }
    addPhoto(slow, i);
    if (!slow.value || photos[i].exposureSeconds > *slow.value)
      slow.value = photos[i].exposureSeconds;
  }
  if (slow.photoCount > 0) findings.push_back(std::move(slow));
}

}  // namespace readiness
