#include "readiness/survey_layout.h"

#include <algorithm>
#include <cmath>

#include "readiness/thresholds.h"

namespace readiness {

namespace {

constexpr double kEarthRadiusM = 6371008.8;  // the mean radius
constexpr double kMetresPerDegree = kEarthRadiusM * kDegree;
// Steps shorter than this carry no heading (GPS noise of a hovering drone).
constexpr double kMinStepM = 0.5;

double longitudeOffset(double longitude, double reference) {
  double offset = std::fmod(longitude - reference, 360.0);
  if (offset > 180.0) offset -= 360.0;
  if (offset < -180.0) offset += 360.0;
  return offset;
}

double dayOf(double seconds) { return std::floor(seconds / 86400.0); }

void addTimeGap(SurveyLayout& layout, const std::vector<SurveyPhoto>& photos, std::uint32_t before,
                std::uint32_t after, std::uint32_t flight) {
  if (layout.timeGaps.size() >= kMaxGapFindings) {
    ++layout.timeGapsLeftOut;
    return;
  }
  Finding gap;
  gap.kind = FindingKind::timeGap;
  gap.cause = dayOf(photos[before].captureSeconds) != dayOf(photos[after].captureSeconds)
                  ? FindingCause::otherDay
                  : FindingCause::flightGap;
  gap.photos = {before, after};
  std::sort(gap.photos.begin(), gap.photos.end());
  gap.photoCount = 2;
  gap.flight = flight;
  gap.value = photos[after].captureSeconds - photos[before].captureSeconds;
  layout.timeGaps.push_back(std::move(gap));
}

// The lines of one flight: its placed photos (timeOrder[begin, end)) in
// capture order, a new line wherever a step turns away from the line's
// direction so far.
void splitLines(SurveyLayout& layout, std::uint32_t flight, std::uint32_t begin,
                std::uint32_t end) {
  bool open = false;
  for (std::uint32_t k = begin; k < end; ++k) {
    const std::uint32_t photo = layout.timeOrder[k];
    if (!layout.placed[photo]) continue;
    if (open) {
      FlightLine& line = layout.lines.back();
      const LocalPoint& first = layout.points[layout.lineOrder[line.begin]];
      const LocalPoint& last = layout.points[layout.lineOrder.back()];
      const std::optional<double> lineHeading = headingBetween(first, last);
      const std::optional<double> step = headingBetween(last, layout.points[photo]);
      open = !(lineHeading && step && headingDifference(*lineHeading, *step) > kTurnDeg);
    }
    if (!open) {
      const auto at = static_cast<std::uint32_t>(layout.lineOrder.size());
      layout.lines.push_back({flight, at, at, std::nullopt});
      open = true;
    }
    layout.lineOf[photo] = static_cast<std::uint32_t>(layout.lines.size() - 1);
    layout.lineOrder.push_back(photo);
    layout.lines.back().end = static_cast<std::uint32_t>(layout.lineOrder.size());
  }
}

}  // namespace

bool isPlaced(const SurveyPhoto& photo) {
  return photo.hasPosition && std::isfinite(photo.latitude) && std::isfinite(photo.longitude) &&
         std::fabs(photo.latitude) <= 90 && !(photo.latitude == 0 && photo.longitude == 0);
}

std::vector<LocalPoint> projectLocal(const std::vector<SurveyPhoto>& photos) {
  std::vector<LocalPoint> points(photos.size());
  const auto first = std::find_if(photos.begin(), photos.end(), isPlaced);
  if (first == photos.end()) return points;
  const double reference = first->longitude;
  double minLat = first->latitude, maxLat = minLat, minOffset = 0, maxOffset = 0;
  for (const SurveyPhoto& photo : photos) {
    if (!isPlaced(photo)) continue;
    const double offset = longitudeOffset(photo.longitude, reference);
    minLat = std::min(minLat, photo.latitude);
    maxLat = std::max(maxLat, photo.latitude);
    minOffset = std::min(minOffset, offset);
    maxOffset = std::max(maxOffset, offset);
  }
  const double centreLat = (minLat + maxLat) / 2, centreOffset = (minOffset + maxOffset) / 2;
  const double eastPerDegree = kMetresPerDegree * std::cos(centreLat * kDegree);
  for (std::size_t i = 0; i < photos.size(); ++i) {
    if (!isPlaced(photos[i])) continue;
    points[i].east =
        (longitudeOffset(photos[i].longitude, reference) - centreOffset) * eastPerDegree;
    points[i].north = (photos[i].latitude - centreLat) * kMetresPerDegree;
  }
  return points;
}

std::optional<double> headingBetween(const LocalPoint& from, const LocalPoint& to) {
  const double east = to.east - from.east, north = to.north - from.north;
  if (std::hypot(east, north) < kMinStepM) return std::nullopt;
  const double heading = std::atan2(east, north) / kDegree;
  return heading < 0 ? heading + 360.0 : heading;
}

double headingDifference(double a, double b) {
  const double d = std::fabs(std::fmod(a - b, 360.0));
  return d > 180.0 ? 360.0 - d : d;
}

SurveyLayout placePhotos(const std::vector<SurveyPhoto>& photos) {
  SurveyLayout layout;
  layout.points = projectLocal(photos);
  layout.placed.resize(photos.size());
  for (std::uint32_t i = 0; i < photos.size(); ++i) layout.placed[i] = isPlaced(photos[i]);
  return layout;
}

void splitFlights(const std::vector<SurveyPhoto>& photos, SurveyLayout& layout) {
  layout.flightOf.resize(photos.size());
  layout.lineOf.resize(photos.size());
  for (std::uint32_t i = 0; i < photos.size(); ++i) {
    if (photos[i].hasCaptureTime && std::isfinite(photos[i].captureSeconds)) {
      layout.timeOrder.push_back(i);
    }
  }
  std::stable_sort(layout.timeOrder.begin(), layout.timeOrder.end(),
                   [&](std::uint32_t a, std::uint32_t b) {
                     return photos[a].captureSeconds < photos[b].captureSeconds;
                   });
  for (std::uint32_t k = 0; k < layout.timeOrder.size(); ++k) {
    const SurveyPhoto& photo = photos[layout.timeOrder[k]];
    if (k > 0) {
      const SurveyPhoto& before = photos[layout.timeOrder[k - 1]];
      if (photo.captureSeconds - before.captureSeconds > kFlightGapSeconds ||
          dayOf(photo.captureSeconds) != dayOf(before.captureSeconds)) {
        layout.flightBegin.push_back(k);
        addTimeGap(layout, photos, layout.timeOrder[k - 1], layout.timeOrder[k],
                   static_cast<std::uint32_t>(layout.flightBegin.size() - 1));
      }
    } else {
      layout.flightBegin.push_back(0);
    }
  }
  layout.flightBegin.push_back(static_cast<std::uint32_t>(layout.timeOrder.size()));
  for (std::uint32_t f = 0; f + 1 < layout.flightBegin.size(); ++f) {
    for (std::uint32_t k = layout.flightBegin[f]; k < layout.flightBegin[f + 1]; ++k) {
      layout.flightOf[layout.timeOrder[k]] = f;
    }
    splitLines(layout, f, layout.flightBegin[f], layout.flightBegin[f + 1]);
  }
  for (FlightLine& line : layout.lines) {
    line.headingDeg = headingBetween(layout.points[layout.lineOrder[line.begin]],
                                     layout.points[layout.lineOrder[line.end - 1]]);
  }
}

}  // namespace readiness
