#include "tests/support/survey_builder.h"

#include <cmath>

namespace survey {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 6371008.8 * kPi / 180.0;

double eastPerDegree(const Plan& plan) {
  return kMetresPerDegree * std::cos(plan.latitude * kPi / 180.0);
}

}  // namespace

double gsdCmAt(double heightM) {
  return 100.0 * heightM * 43.27 / (kFocal35mm * std::hypot(double(kWidth), double(kHeight)));
}
double footprintAlongM(double heightM) { return kHeight * gsdCmAt(heightM) / 100.0; }
double footprintAcrossM(double heightM) { return kWidth * gsdCmAt(heightM) / 100.0; }

double lineSpacingM(const Plan& plan) {
  return footprintAcrossM(plan.heightM) * (1 - plan.sideOverlap);
}
double photoSpacingM(const Plan& plan) {
  return footprintAlongM(plan.heightM) * (1 - plan.forwardOverlap);
}

double eastOf(const Plan& plan, const readiness::SurveyPhoto& photo) {
  return (photo.longitude - plan.longitude) * eastPerDegree(plan);
}
double northOf(const Plan& plan, const readiness::SurveyPhoto& photo) {
  return (photo.latitude - plan.latitude) * kMetresPerDegree;
}

void movePhoto(const Plan& plan, readiness::SurveyPhoto& photo, double east, double north) {
  photo.longitude += east / eastPerDegree(plan);
  photo.latitude += north / kMetresPerDegree;
}

std::vector<readiness::SurveyPhoto> lawnmower(const Plan& plan) {
  std::vector<readiness::SurveyPhoto> photos;
  const double length = (plan.photosPerLine - 1) * photoSpacingM(plan);
  double seconds = plan.startSeconds;
  for (int n = 0; n < plan.lines; ++n) {
    const int l = n < int(plan.flightOrder.size()) ? plan.flightOrder[n] : n;
    LinePlan line = l < int(plan.lineChanges.size()) ? plan.lineChanges[l] : LinePlan{};
    if (line.skipped) {
      seconds += plan.turnSeconds + plan.photosPerLine * plan.intervalSeconds;
      continue;
    }
    const double height = line.heightM > 0 ? line.heightM : plan.heightM;
    const double forward = line.forwardOverlap > 0 ? line.forwardOverlap : plan.forwardOverlap;
    // The plan's spacing at the plan's overlap sets the line's length; a
    // line at another overlap takes as many photos as fit in it.
    const int count = 1 + int(std::lround(length / (footprintAlongM(height) * (1 - forward))));
    const double step = length / (count - 1);
    const bool north = l % 2 == 0;
    const double speed = step / plan.intervalSeconds;
    for (int k = 0; k < count; ++k) {
      readiness::SurveyPhoto photo;
      photo.captureSeconds = seconds;
      photo.hasCaptureTime = true;
      photo.latitude = plan.latitude;
      photo.longitude = plan.longitude;
      photo.hasPosition = true;
      movePhoto(plan, photo, l * lineSpacingM(plan), north ? k * step : length - k * step);
      photo.relativeAltitudeM = float(height);
      photo.hasRelativeAltitude = true;
      photo.gpsAltitudeM = float(kGroundM + height);
      photo.hasGpsAltitude = true;
      photo.focalLength35mm = float(kFocal35mm);
      photo.width = kWidth;
      photo.height = kHeight;
      photo.exposureSeconds = plan.exposureSeconds;
      photo.fNumber = 2.8f;
      photo.iso = 100;
      photo.model = "FC6310";
      photo.serial = "0K8TH9V0030XYZ";
      photo.gimbalPitchDeg = -90;
      photo.hasGimbalPitch = true;
      photo.gimbalYawDeg = north ? 0 : 180;
      photo.hasGimbalYaw = true;
      photo.flightYawDeg = photo.gimbalYawDeg;
      photo.hasFlightYaw = true;
      photo.speedXMps = float(north ? speed : -speed);
      photo.hasSpeed = true;
      photo.rtkFlag = 50;
      photo.hasRtkFlag = true;
      photos.push_back(photo);
      seconds += plan.intervalSeconds;
    }
    seconds += plan.turnSeconds;
  }
  return photos;
}

}  // namespace survey
