#include "readiness/survey_layout.h"

#include <algorithm>
#include <cmath>

#include "readiness/thresholds.h"

namespace readiness {

LocalPoint meanOf(const SurveyLayout& layout, const FlightLine& line) {
  LocalPoint mean;
  for (std::uint32_t k = line.begin; k < line.end; ++k) {
    mean.east += layout.points[layout.lineOrder[k]].east;
    mean.north += layout.points[layout.lineOrder[k]].north;
  }
  mean.east /= (line.end - line.begin);
  mean.north /= (line.end - line.begin);
  return mean;
}

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

// The running sums of a line's photos' positions, for the straight line
// that fits them best (the main axis of their spread).
struct LineFit {
  double count = 0, east = 0, north = 0, ee = 0, nn = 0, en = 0;

  void add(const LocalPoint& point) {
    ++count;
    east += point.east;
    north += point.north;
    ee += point.east * point.east;
    nn += point.north * point.north;
    en += point.east * point.north;
  }

  // How far `point` lies off the fitted line, or back behind `last` along
  // it (the line's direction taken from `first` to `last`).
  double offLine(const LocalPoint& first, const LocalPoint& last, const LocalPoint& point) const {
    const double me = east / count, mn = north / count;
    const double cee = ee / count - me * me, cnn = nn / count - mn * mn, cen = en / count - me * mn;
    const double angle = std::atan2(2 * cen, cnn - cee) / 2;
    double ue = std::sin(angle), un = std::cos(angle);
    if ((last.east - first.east) * ue + (last.north - first.north) * un < 0) {
      ue = -ue;
      un = -un;
    }
    const double across = std::fabs((point.east - me) * un - (point.north - mn) * ue);
    const double back = -((point.east - last.east) * ue + (point.north - last.north) * un);
    return std::max(across, back);
  }
};

// The heading of the straight line that fits the photos of `line` best (the
// main axis of their spread), turned the way from its first photo to its
// last; none for a line shorter than half a metre.
std::optional<double> fittedHeading(const SurveyLayout& layout, const FlightLine& line) {
  const std::optional<double> rough = headingBetween(layout.points[layout.lineOrder[line.begin]],
                                                     layout.points[layout.lineOrder[line.end - 1]]);
  if (!rough || line.end - line.begin < 3) return rough;
  const LocalPoint mean = meanOf(layout, line);
  const double meanE = mean.east, meanN = mean.north;
  double ee = 0, nn = 0, en = 0;
  for (std::uint32_t k = line.begin; k < line.end; ++k) {
    const double e = layout.points[layout.lineOrder[k]].east - meanE;
    const double n = layout.points[layout.lineOrder[k]].north - meanN;
    ee += e * e;
    nn += n * n;
    en += e * n;
  }
  // The main axis's angle from north towards east.
  double heading = std::atan2(2 * en, nn - ee) / 2 / kDegree;
  if (headingDifference(heading, *rough) > 90) heading += 180;
  heading = std::fmod(heading + 360.0, 360.0);
  return heading;
}

// The lines of one flight: its placed photos (timeOrder[begin, end)) in
// capture order, a new line wherever a step turns away from the line's
// direction so far and leaves the line fitted to its photos.
void splitLines(SurveyLayout& layout, std::uint32_t flight, std::uint32_t begin,
                std::uint32_t end) {
  bool open = false;
  LineFit fit;
  for (std::uint32_t k = begin; k < end; ++k) {
    const std::uint32_t photo = layout.timeOrder[k];
    if (!layout.placed[photo]) continue;
    if (open) {
      FlightLine& line = layout.lines.back();
      const LocalPoint& first = layout.points[layout.lineOrder[line.begin]];
      const LocalPoint& last = layout.points[layout.lineOrder.back()];
      const LocalPoint& next = layout.points[photo];
      const std::optional<double> lineHeading = headingBetween(first, last);
      const std::optional<double> step = headingBetween(last, next);
      open = !(lineHeading && step && headingDifference(*lineHeading, *step) > kTurnDeg &&
               fit.offLine(first, last, next) > kLineWanderM);
    }
    if (!open) {
      fit = LineFit{};
      const auto at = static_cast<std::uint32_t>(layout.lineOrder.size());
      layout.lines.push_back({flight, at, at, std::nullopt});
      open = true;
    }
    layout.lineOf[photo] = static_cast<std::uint32_t>(layout.lines.size() - 1);
    layout.lineOrder.push_back(photo);
    fit.add(layout.points[photo]);
    layout.lines.back().end = static_cast<std::uint32_t>(layout.lineOrder.size());
  }
}

// A line's fitted axis: its mean point and its main direction, turned the
// way from its first photo to its last, and its mean step along it.
struct FittedAxis {
  LocalPoint mean;
  double east = 0, north = 1;
  double step = 0;
  double across(const LocalPoint& p) const {
    return std::fabs((p.east - mean.east) * north - (p.north - mean.north) * east);
  }
  double along(const LocalPoint& p) const {
    return (p.east - mean.east) * east + (p.north - mean.north) * north;
  }
};

std::optional<FittedAxis> axisOfRange(const SurveyLayout& layout, const FlightLine& line) {
  if (line.end - line.begin < 2) return std::nullopt;
  const std::optional<double> heading = fittedHeading(layout, line);
  if (!heading) return std::nullopt;
  FittedAxis axis;
  axis.mean = meanOf(layout, line);
  axis.east = std::sin(*heading * kDegree);
  axis.north = std::cos(*heading * kDegree);
  axis.step = (axis.along(layout.points[layout.lineOrder[line.end - 1]]) -
               axis.along(layout.points[layout.lineOrder[line.begin]])) /
              (line.end - line.begin - 1);
  return axis;
}

std::uint32_t sizeOf(const FlightLine& line) { return line.end - line.begin; }

// Mends the lines the noise of the positions broke: a line that goes on
// where the one before it ended, on its axis, joins it; the photos that
// lie on a survey line's axis just before its start (a piece of a turn
// that caught the line's first photos) are given to it, and those that
// lie on its axis just past its end to it, unless their camera faces
// elsewhere (photos of the turn). Lines stay in capture order.
void mendLines(const std::vector<SurveyPhoto>& photos, SurveyLayout& layout) {
  std::vector<FlightLine> mended;
  const auto point = [&](std::uint32_t k) { return layout.points[layout.lineOrder[k]]; };
  // A photo whose camera faces the line's way, or across it, or says not
  // where it faces: a photo of the turn faces where the drone turns.
  const auto facesAlong = [&](std::uint32_t k, const FittedAxis& axis) {
    const SurveyPhoto& photo = photos[layout.lineOrder[k]];
    const bool gimbal = photo.hasGimbalYaw && std::isfinite(photo.gimbalYawDeg);
    const bool flight = photo.hasFlightYaw && std::isfinite(photo.flightYawDeg);
    if (!gimbal && !flight) return true;
    const double yaw = gimbal ? photo.gimbalYawDeg : photo.flightYawDeg;
    const double off =
        std::fmod(headingDifference(yaw, std::atan2(axis.east, axis.north) / kDegree), 90.0);
    return std::min(off, 90.0 - off) <= kTurnDeg / 2;
  };
  for (FlightLine line : layout.lines) {
    if (!mended.empty() && mended.back().flight == line.flight) {
      FlightLine& before = mended.back();
      const std::optional<FittedAxis> was = axisOfRange(layout, before);
      const std::optional<FittedAxis> is = axisOfRange(layout, line);
      if (was && is &&
          was->east * is->east + was->north * is->north > std::cos(kTurnDeg * kDegree) &&
          was->across(point(line.begin)) <= kLineWanderM &&
          is->across(point(before.end - 1)) <= kLineWanderM &&
          was->along(point(line.begin)) > was->along(point(before.end - 1))) {
        before.end = line.end;
        continue;
      }
      if (was && sizeOf(before) >= std::uint32_t(kMinLinePhotos) &&
          sizeOf(line) < std::uint32_t(kMinLinePhotos)) {
        while (line.begin < line.end && was->across(point(line.begin)) <= kLineWanderM &&
               facesAlong(line.begin, *was) &&
               was->along(point(line.begin)) > was->along(point(before.end - 1)) &&
               was->along(point(line.begin)) <=
                   was->along(point(before.end - 1)) + 1.5 * was->step + kLineWanderM) {
          ++before.end;
          ++line.begin;
        }
        if (line.begin == line.end) continue;
      }
      if (is && sizeOf(line) >= std::uint32_t(kMinLinePhotos) &&
          sizeOf(before) < std::uint32_t(kMinLinePhotos)) {
        while (before.end > before.begin && is->across(point(before.end - 1)) <= kLineWanderM &&
               facesAlong(before.end - 1, *is) &&
               is->along(point(before.end - 1)) < is->along(point(line.begin)) &&
               is->along(point(before.end - 1)) >=
                   is->along(point(line.begin)) - 1.5 * is->step - kLineWanderM) {
          --before.end;
          --line.begin;
        }
        if (before.begin == before.end) mended.pop_back();
      }
    }
    mended.push_back(line);
  }
  layout.lines = std::move(mended);
  for (std::uint32_t l = 0; l < layout.lines.size(); ++l) {
    for (std::uint32_t k = layout.lines[l].begin; k < layout.lines[l].end; ++k) {
      layout.lineOf[layout.lineOrder[k]] = l;
    }
  }
}

}  // namespace

bool isPlaced(const SurveyPhoto& photo) {
  return photo.hasPosition && std::isfinite(photo.latitude) && std::isfinite(photo.longitude) &&
         std::fabs(photo.latitude) <= 90 && !(photo.latitude == 0 && photo.longitude == 0);
}

std::vector<LocalPoint> projectLocal(const std::vector<SurveyPhoto>& photos, LocalFrame* frame) {
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
  if (frame != nullptr) {
    *frame = {centreLat, reference + centreOffset, eastPerDegree, kMetresPerDegree};
  }
  for (std::size_t i = 0; i < photos.size(); ++i) {
    if (!isPlaced(photos[i])) continue;
    points[i].east =
        (longitudeOffset(photos[i].longitude, reference) - centreOffset) * eastPerDegree;
    points[i].north = (photos[i].latitude - centreLat) * kMetresPerDegree;
  }
  return points;
}

std::pair<double, double> geoOf(const LocalFrame& frame, const LocalPoint& point) {
  double longitude = frame.longitude + point.east / frame.eastPerDegree;
  if (longitude > 180) longitude -= 360;
  if (longitude < -180) longitude += 360;
  return {frame.latitude + point.north / frame.northPerDegree, longitude};
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
  layout.points = projectLocal(photos, &layout.frame);
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
  mendLines(photos, layout);
  for (FlightLine& line : layout.lines) {
    line.headingDeg = fittedHeading(layout, line);
  }
}

}  // namespace readiness
