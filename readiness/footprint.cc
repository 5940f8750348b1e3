#include "readiness/footprint.h"

#include <cmath>

#include "readiness/survey_layout.h"
#include "readiness/thresholds.h"

namespace readiness {

std::optional<double> heightAboveGround(const SurveyPhoto& photo, const SurveyOptions& options) {
  double height = 0;
  if (photo.hasRelativeAltitude) {
    height = photo.relativeAltitudeM;
  } else if (photo.hasGpsAltitude && options.groundAltitudeM) {
    height = photo.gpsAltitudeM - *options.groundAltitudeM;
  } else {
    return std::nullopt;
  }
  if (!(height > 0) || !(height <= kMaxHeightM)) return std::nullopt;
  return height;
}

bool looksDown(const SurveyPhoto& photo) {
  return !photo.hasGimbalPitch || std::fabs(photo.gimbalPitchDeg + 90.0) <= kMaxNadirTiltDeg;
}

std::optional<double> groundSampleCm(const SurveyPhoto& photo, double heightM) {
  if (!(photo.focalLength35mm >= kMinFocalLength35mm) || !std::isfinite(photo.focalLength35mm) ||
      photo.width == 0 || photo.height == 0) {
    return std::nullopt;
  }
  const double diagonalPx = std::hypot(double(photo.width), double(photo.height));
  return 100.0 * heightM * kFrameDiagonal35mm / (photo.focalLength35mm * diagonalPx);
}

std::optional<Footprint> nadirFootprint(const SurveyPhoto& photo, double heightM, double yawDeg) {
  const std::optional<double> gsd = groundSampleCm(photo, heightM);
  if (!gsd) return std::nullopt;
  return Footprint{float(photo.height * *gsd / 100.0), float(photo.width * *gsd / 100.0),
                   float(yawDeg)};
}

std::optional<double> footprintYaw(const SurveyPhoto& photo, std::optional<double> lineHeadingDeg) {
  if (photo.hasGimbalYaw && std::isfinite(photo.gimbalYawDeg)) return photo.gimbalYawDeg;
  if (photo.hasFlightYaw && std::isfinite(photo.flightYawDeg)) return photo.flightYawDeg;
  return lineHeadingDeg;
}

double extentAlong(const Footprint& footprint, double headingDeg) {
  const double turn = (footprint.yawDeg - headingDeg) * kDegree;
  return footprint.alongM * std::fabs(std::cos(turn)) +
         footprint.acrossM * std::fabs(std::sin(turn));
}

}  // namespace readiness
