#include "page/flat_projection.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kEarthRadiusMetres = 6371008.8;  // the mean radius
constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = kEarthRadiusMetres * kPi / 180.0;

// `longitude` minus `reference`, brought into -180..180.
double longitudeOffset(double longitude, double reference) {
  double offset = longitude - reference;
  // Two longitudes on the map lie within 360 degrees of each other, where
  // the remainder is the difference itself: fmod, a slow call per photo,
  // only for what lies further.
  if (!(offset > -360.0 && offset < 360.0)) offset = std::fmod(offset, 360.0);
  if (offset > 180.0) offset -= 360.0;
  if (offset < -180.0) offset += 360.0;
  return offset;
}

}  // namespace

std::vector<FlatPoint> projectFlat(const std::vector<GeoPosition>& positions) {
  std::vector<FlatPoint> points;
  if (positions.empty()) return points;
  const double referenceLongitude = positions.front().longitude;
  double minLatitude = positions.front().latitude, maxLatitude = minLatitude;
  double minOffset = 0, maxOffset = 0;
  for (const GeoPosition& position : positions) {
    const double offset = longitudeOffset(position.longitude, referenceLongitude);
    minLatitude = std::min(minLatitude, position.latitude);
    maxLatitude = std::max(maxLatitude, position.latitude);
    minOffset = std::min(minOffset, offset);
    maxOffset = std::max(maxOffset, offset);
  }
  const double centreLatitude = (minLatitude + maxLatitude) / 2;
  const double centreOffset = (minOffset + maxOffset) / 2;
  const double eastPerDegree = kMetresPerDegree * std::cos(centreLatitude * kPi / 180.0);
  points.reserve(positions.size());
  for (const GeoPosition& position : positions) {
    const double offset = longitudeOffset(position.longitude, referenceLongitude);
    points.push_back({(offset - centreOffset) * eastPerDegree,
                      (position.latitude - centreLatitude) * kMetresPerDegree});
  }
  return points;
}

double scaleBarMetres(double extent) {
  const double quarter = extent / 4;
  if (!(quarter >= 1)) return 1;
  double power = std::pow(10.0, std::floor(std::log10(quarter)));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * power <= quarter) return step * power;
  }
  return power;
}
