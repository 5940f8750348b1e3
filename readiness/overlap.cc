#include "readiness/overlap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

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
  axis.centre = meanOf(layout, line);
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

// A step longer than the median of the kSpacingWindow steps about it by
// half, and by more than twice kLineWanderM (four times the noise of a
// step's length at 2 m of GPS noise), is a jump: a photo or a stretch
// missing.
constexpr std::size_t kSpacingWindow = 7;

bool isJump(const std::vector<double>& spacings, std::size_t k, std::vector<double>& window) {
  const std::size_t size = std::min(kSpacingWindow, spacings.size());
  const std::size_t from = std::min(k >= size / 2 ? k - size / 2 : 0, spacings.size() - size);
  window.assign(spacings.begin() + std::ptrdiff_t(from),
                spacings.begin() + std::ptrdiff_t(from + size));
  auto middle = window.begin() + window.size() / 2;
  std::nth_element(window.begin(), middle, window.end());
  return spacings[k] > 1.5 * *middle && spacings[k] - *middle > 2 * kLineWanderM;
}

// The spacing of each step of a line (`alongs`: its photos' places along
// it, in the order flown), its GPS noise taken out: a jump as it is, any
// other step the mean of the steps about it (kSpacingWindow / 2 each way,
// stopping short of a jump), from the two ends of that run, so that one
// photo's noise is shared by several steps.
void steadySpacings(const std::vector<double>& alongs, std::vector<double>& spacings,
                    std::vector<double>& window) {
  const std::size_t steps = alongs.size() - 1;
  std::vector<double> raw(steps);
  std::vector<std::uint8_t> jump(steps);
  for (std::size_t k = 0; k < steps; ++k) raw[k] = std::fabs(alongs[k + 1] - alongs[k]);
  for (std::size_t k = 0; k < steps; ++k) jump[k] = isJump(raw, k, window);
  spacings.assign(steps, 0);
  const std::size_t half = kSpacingWindow / 2;
  for (std::size_t k = 0; k < steps; ++k) {
    if (jump[k]) {
      spacings[k] = raw[k];
      continue;
    }
    std::size_t from = k, to = k + 1;  // steps [from, to)
    while (from > 0 && k - from < half && !jump[from - 1]) --from;
    while (to < steps && to - k <= half && !jump[to]) ++to;
    spacings[k] = std::fabs(alongs[to] - alongs[from]) / double(to - from);
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
  double offset = 0;           // metres across the bucket's direction
  std::vector<double> alongs;  // its photos' places along it, sorted
  Axis axis;                   // its own fitted axis
  double directionDeg = 0;     // the bucket's direction
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
    slot.directionDeg = reference + slot.bucket * kBucketDeg;
    const double direction = slot.directionDeg * kDegree;
    const double ue = std::sin(direction), un = std::cos(direction);
    slot.axis = axisOf(layout, line);
    slot.offset = slot.axis.centre.east * un - slot.axis.centre.north * ue;
    for (std::uint32_t k = line.begin; k < line.end; ++k) {
      const LocalPoint& point = layout.points[layout.lineOrder[k]];
      slot.alongs.push_back(point.east * ue + point.north * un);
    }
    std::sort(slot.alongs.begin(), slot.alongs.end());
    slots.push_back(std::move(slot));
  }
  std::sort(slots.begin(), slots.end(), [](const LineSlot& a, const LineSlot& b) {
    return a.bucket < b.bucket || (a.bucket == b.bucket && a.offset < b.offset);
  });
}

// True when the slot's line has a photo within `reach` of `along`.
bool hasPhotoAbreast(const LineSlot& slot, double along, double reach) {
  const auto at = std::lower_bound(slot.alongs.begin(), slot.alongs.end(), along - reach);
  return at != slot.alongs.end() && *at <= along + reach;
}

// The distance from `point`, put on its own line's axis (so that the GPS
// noise of one photo does not count), to the axis `other`.
double axisDistance(const LocalPoint& point, const Axis& own, const Axis& other) {
  const double along =
      (point.east - own.centre.east) * own.east + (point.north - own.centre.north) * own.north;
  const double east = own.centre.east + along * own.east - other.centre.east;
  const double north = own.centre.north + along * own.north - other.centre.north;
  return std::fabs(east * other.north - north * other.east);
}

// The side overlaps measured between two lines (first < second), each with
// its photo.
using LinePairs = std::map<std::pair<std::uint32_t, std::uint32_t>,
                           std::vector<std::pair<double, std::uint32_t>>>;

// A look at most this many lines further for one that has a photo abreast
// (past a missing stretch or missing lines).
constexpr std::size_t kSideLookLines = 64;

// The side overlap of each photo of slots[i]'s line with the nearest line on
// either side that has a photo abreast of it (within half its footprint
// along the track), kept per photo where worse and gathered per pair.
void sideOfSlot(const SurveyLayout& layout, const Footprints& footprints,
                const std::vector<LineSlot>& slots, std::size_t i,
                std::vector<PhotoReadiness>& photos, LinePairs& pairs) {
  const LineSlot& slot = slots[i];
  const FlightLine& line = layout.lines[slot.line];
  const double ue = std::sin(slot.directionDeg * kDegree),
               un = std::cos(slot.directionDeg * kDegree);
  for (std::uint32_t k = line.begin; k < line.end; ++k) {
    const std::uint32_t photo = layout.lineOrder[k];
    if (!footprints[photo]) continue;
    const LocalPoint& point = layout.points[photo];
    const double along = point.east * ue + point.north * un;
    const double halfReach = extentAlong(*footprints[photo], slot.directionDeg) / 2;
    for (const int side : {-1, 1}) {
      for (std::size_t step = 1; step <= kSideLookLines; ++step) {
        const std::ptrdiff_t j = std::ptrdiff_t(i) + side * std::ptrdiff_t(step);
        if (j < 0 || std::size_t(j) >= slots.size() || slots[std::size_t(j)].bucket != slot.bucket)
          break;
        const LineSlot& other = slots[std::size_t(j)];
        if (!parallel(*line.headingDeg, *layout.lines[other.line].headingDeg)) continue;
        if (!hasPhotoAbreast(other, along, halfReach)) continue;
        const double extent = extentAlong(*footprints[photo], other.axis.headingDeg + 90.0);
        if (!(extent > 0)) break;
        const double overlap =
            clampFraction(1.0 - axisDistance(point, slot.axis, other.axis) / extent);
        keepWorse(photos[photo].sideOverlap, overlap);
        pairs[{std::min(slot.line, other.line), std::max(slot.line, other.line)}].emplace_back(
            overlap, photo);
        break;
      }
    }
  }
}

}  // namespace

void measureForwardOverlap(const SurveyLayout& layout, const Footprints& footprints,
                           std::vector<PhotoReadiness>& photos, std::vector<Finding>& findings) {
  std::vector<double> alongs, spacings, window;
  for (std::uint32_t l = 0; l < layout.lines.size(); ++l) {
    const FlightLine& line = layout.lines[l];
    if (!line.headingDeg) continue;
    const double heading = *line.headingDeg;
    const double east = std::sin(heading * kDegree), north = std::cos(heading * kDegree);
    alongs.clear();
    for (std::uint32_t k = line.begin; k < line.end; ++k) {
      const LocalPoint& point = layout.points[layout.lineOrder[k]];
      alongs.push_back(point.east * east + point.north * north);
    }
    steadySpacings(alongs, spacings, window);
    for (std::uint32_t k = line.begin + 1; k < line.end; ++k) {
      const std::uint32_t a = layout.lineOrder[k - 1], b = layout.lineOrder[k];
      if (!footprints[a] || !footprints[b]) continue;
      const double spacing = spacings[k - line.begin - 1];
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
  std::vector<double> values;
  for (std::uint32_t begin = 0, end = 0; begin < layout.lines.size(); begin = end) {
    const std::uint32_t flight = layout.lines[begin].flight;
    end = begin;
    while (end < layout.lines.size() && layout.lines[end].flight == flight) ++end;
    slotLines(layout, begin, end, slots);
    LinePairs pairs;
    for (std::size_t i = 0; i < slots.size(); ++i) {
      sideOfSlot(layout, footprints, slots, i, photos, pairs);
    }
    for (const auto& [lines, overlaps] : pairs) {
      // A pair met by a photo or two only is the edge of a hole (found as
      // a gap or a forward overlap finding), not two lines side by side.
      if (overlaps.size() < std::size_t(kMinLinePhotos)) continue;
      values.clear();
      for (const auto& measured : overlaps) values.push_back(measured.first);
      auto middle = values.begin() + values.size() / 2;
      std::nth_element(values.begin(), middle, values.end());
      if (*middle >= kMinSideOverlap) continue;
      Finding finding = makeFinding(FindingKind::lowSideOverlap, FindingCause::sideBelow);
      std::vector<std::uint32_t> measured;
      for (const auto& one : overlaps) measured.push_back(one.second);
      std::sort(measured.begin(), measured.end());
      measured.erase(std::unique(measured.begin(), measured.end()), measured.end());
      for (const std::uint32_t photo : measured) addPhoto(finding, photo);
      finding.flight = flight;
      finding.line = lines.second;
      finding.otherLine = lines.first;
      finding.value = *middle;
      findings.push_back(std::move(finding));
    }
  }
}

}  // namespace readiness
