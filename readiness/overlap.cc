#include "readiness/overlap.h"

#include <algorithm>
#include <cmath>

#include "readiness/finding_photos.h"
#include "readiness/thresholds.h"

namespace readiness {

namespace {

double clampFraction(double value) { return std::min(1.0, std::max(0.0, value)); }

void keepWorse(MaybeFloat& kept, double value) {
  if (!kept || value < *kept) kept = static_cast<float>(value);
}

struct Axis {
  LocalPoint centre;
  double east = 0;  // unit direction
  double north = 0;
  double headingDeg = 0;
};

Axis axisOf(const SurveyLayout& layout, const FlightLine& line) {
  Axis axis;
  for (std::uint32_t k = line.begin; k < line.end; ++k) {
    axis.centre.east += layout.points[layout.lineOrder[k]].east;
    axis.centre.north += layout.points[layout.lineOrder[k]].north;
  }
  axis.centre.east /= (line.end - line.begin);
  axis.centre.north /= (line.end - line.begin);
  axis.headingDeg = *line.headingDeg;
  axis.east = std::sin(axis.headingDeg * kDegree);
  axis.north = std::cos(axis.headingDeg * kDegree);
  return axis;
}

bool isSurveyLine(const FlightLine& line) {
  return line.headingDeg && line.end - line.begin >= static_cast<std::uint32_t>(kMinLinePhotos);
}

bool parallel(double a, double b) {
  const double d = headingDifference(a, b);
  return std::min(d, 180.0 - d) <= kParallelDeg;
}

// The side overlaps of `line`'s photos with the line whose axis is `other`,
// kept per photo where worse and gathered in `overlaps`.
void sideAgainst(const SurveyLayout& layout, const Footprints& footprints, const FlightLine& line,
                 const Axis& other, std::vector<PhotoReadiness>& photos,
                 std::vector<double>& overlaps) {
  for (std::uint32_t k = line.begin; k < line.end; ++k) {
    const std::uint32_t photo = layout.lineOrder[k];
    if (!footprints[photo]) continue;
    const LocalPoint& point = layout.points[photo];
    const double distance = std::fabs((point.east - other.centre.east) * other.north -
                                      (point.north - other.centre.north) * other.east);
    const double extent = extentAlong(*footprints[photo], other.headingDeg + 90.0);
    if (!(extent > 0)) continue;
    const double overlap = clampFraction(1.0 - distance / extent);
    keepWorse(photos[photo].sideOverlap, overlap);
    overlaps.push_back(overlap);
  }
}

}  // namespace

void measureForwardOverlap(const SurveyLayout& layout, const Footprints& footprints,
                           std::vector<PhotoReadiness>& photos, std::vector<Finding>& findings) {
  for (std::uint32_t l = 0; l < layout.lines.size(); ++l) {
    const FlightLine& line = layout.lines[l];
    if (!line.headingDeg) continue;
    const double heading = *line.headingDeg;
    const double east = std::sin(heading * kDegree), north = std::cos(heading * kDegree);
    for (std::uint32_t k = line.begin + 1; k < line.end; ++k) {
      const std::uint32_t a = layout.lineOrder[k - 1], b = layout.lineOrder[k];
      if (!footprints[a] || !footprints[b]) continue;
      const double spacing = std::fabs((layout.points[b].east - layout.points[a].east) * east +
                                       (layout.points[b].north - layout.points[a].north) * north);
      const double extent =
          (extentAlong(*footprints[a], heading) + extentAlong(*footprints[b], heading)) / 2;
      if (!(extent > 0)) continue;
      const double overlap = clampFraction(1.0 - spacing / extent);
      keepWorse(photos[a].forwardOverlap, overlap);
      keepWorse(photos[b].forwardOverlap, overlap);
    }
    Finding finding = makeFinding(FindingKind::lowForwardOverlap, FindingCause::forwardBelow);
    for (std::uint32_t k = line.begin; k < line.end; ++k) {
      const std::uint32_t photo = layout.lineOrder[k];
      const MaybeFloat overlap = photos[photo].forwardOverlap;
      if (!overlap || *overlap >= kMinForwardOverlap) continue;
      addPhoto(finding, photo);
      if (!finding.value || *overlap < *finding.value) finding.value = *overlap;
    }
    if (finding.photoCount == 0) continue;
    finding.flight = line.flight;
    finding.line = l;
    putInListOrder(finding);
    findings.push_back(std::move(finding));
  }
}

void measureSideOverlap(const SurveyLayout& layout, const Footprints& footprints,
                        std::vector<PhotoReadiness>& photos, std::vector<Finding>& findings) {
  std::optional<std::uint32_t> before;  // the flight's last survey line so far
  std::vector<double> overlaps;
  for (std::uint32_t l = 0; l < layout.lines.size(); ++l) {
    const FlightLine& line = layout.lines[l];
    if (!isSurveyLine(line)) continue;
    if (before && layout.lines[*before].flight != line.flight) before.reset();
    if (before && parallel(*layout.lines[*before].headingDeg, *line.headingDeg)) {
      const FlightLine& previous = layout.lines[*before];
      overlaps.clear();
      sideAgainst(layout, footprints, line, axisOf(layout, previous), photos, overlaps);
      sideAgainst(layout, footprints, previous, axisOf(layout, line), photos, overlaps);
      if (!overlaps.empty()) {
        auto middle = overlaps.begin() + overlaps.size() / 2;
        std::nth_element(overlaps.begin(), middle, overlaps.end());
        if (*middle < kMinSideOverlap) {
          Finding finding = makeFinding(FindingKind::lowSideOverlap, FindingCause::sideBelow);
          for (std::uint32_t k = previous.begin; k < line.end; ++k) {
            // The two lines and any turn photos between them.
            addPhoto(finding, layout.lineOrder[k]);
          }
          finding.flight = line.flight;
          finding.line = l;
          finding.otherLine = *before;
          finding.value = *middle;
          putInListOrder(finding);
          findings.push_back(std::move(finding));
        }
      }
    }
    before = l;
  }
}

}  // namespace readiness
