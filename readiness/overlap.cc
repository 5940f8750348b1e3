#include "readiness/overlap.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

// A survey line of a flight, placed for finding its neighbours: the lines
// of one direction (to within half of 20 degrees about the flight's median
// heading, or a multiple of 20 degrees from it) sorted by their offset
// across that direction. Neighbours in that order are the lines side by
// side, whatever order they were flown in (a fixed wing's racetrack flies
// every other line first).
struct LineSlot {
  std::uint32_t line = 0;
  std::uint32_t bucket = 0;
  double offset = 0;                  // metres across the bucket's direction
  double alongFrom = 0, alongTo = 0;  // the line's reach along it
};

constexpr double kBucketDeg = 20.0;
constexpr int kBuckets = 9;  // of 180 degrees

void slotLines(const SurveyLayout& layout, std::uint32_t begin, std::uint32_t end,
               std::vector<LineSlot>& slots) {
  slots.clear();
  std::vector<double> headings;
  for (std::uint32_t l = begin; l < end; ++l) {
    if (isSurveyLine(layout.lines[l]))
      headings.push_back(std::fmod(*layout.lines[l].headingDeg, 180.0));
  }
  if (headings.size() < 2) return;
  auto middle = headings.begin() + headings.size() / 2;
  std::nth_element(headings.begin(), middle, headings.end());
  const double reference = *middle;
  for (std::uint32_t l = begin; l < end; ++l) {
    const FlightLine& line = layout.lines[l];
    if (!isSurveyLine(line)) continue;
    const double turn = std::fmod(*line.headingDeg - reference + 360.0, 180.0);
    LineSlot slot;
    slot.line = l;
    slot.bucket = std::uint32_t(std::lround(turn / kBucketDeg)) % kBuckets;
    const double direction = (reference + slot.bucket * kBucketDeg) * kDegree;
    const double ue = std::sin(direction), un = std::cos(direction);
    const Axis axis = axisOf(layout, line);
    slot.offset = axis.centre.east * un - axis.centre.north * ue;
    slot.alongFrom = std::numeric_limits<double>::infinity();
    slot.alongTo = -slot.alongFrom;
    for (std::uint32_t k = line.begin; k < line.end; ++k) {
      const LocalPoint& point = layout.points[layout.lineOrder[k]];
      const double along = point.east * ue + point.north * un;
      slot.alongFrom = std::min(slot.alongFrom, along);
      slot.alongTo = std::max(slot.alongTo, along);
    }
    slots.push_back(slot);
  }
  std::sort(slots.begin(), slots.end(), [](const LineSlot& a, const LineSlot& b) {
    return a.bucket < b.bucket || (a.bucket == b.bucket && a.offset < b.offset);
  });
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
  std::vector<LineSlot> slots;
  std::vector<double> overlaps;
  for (std::uint32_t begin = 0, end = 0; begin < layout.lines.size(); begin = end) {
    const std::uint32_t flight = layout.lines[begin].flight;
    end = begin;
    while (end < layout.lines.size() && layout.lines[end].flight == flight) ++end;
    slotLines(layout, begin, end, slots);
    for (std::size_t k = 1; k < slots.size(); ++k) {
      const LineSlot& a = slots[k - 1];
      const LineSlot& b = slots[k];
      if (a.bucket != b.bucket || a.alongTo < b.alongFrom || b.alongTo < a.alongFrom) continue;
      const FlightLine& first = layout.lines[std::min(a.line, b.line)];
      const FlightLine& second = layout.lines[std::max(a.line, b.line)];
      if (!parallel(*first.headingDeg, *second.headingDeg)) continue;
      overlaps.clear();
      sideAgainst(layout, footprints, second, axisOf(layout, first), photos, overlaps);
      sideAgainst(layout, footprints, first, axisOf(layout, second), photos, overlaps);
      if (overlaps.empty()) continue;
      auto middle = overlaps.begin() + overlaps.size() / 2;
      std::nth_element(overlaps.begin(), middle, overlaps.end());
      if (*middle >= kMinSideOverlap) continue;
      Finding finding = makeFinding(FindingKind::lowSideOverlap, FindingCause::sideBelow);
      for (const FlightLine* line : {&first, &second}) {
        for (std::uint32_t p = line->begin; p < line->end; ++p) {
          addPhoto(finding, layout.lineOrder[p]);
        }
      }
      finding.flight = flight;
      finding.line = std::max(a.line, b.line);
      finding.otherLine = std::min(a.line, b.line);
      finding.value = *middle;
      putInListOrder(finding);
      findings.push_back(std::move(finding));
    }
  }
}

}  // namespace readiness
