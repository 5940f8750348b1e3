#include "tests/support/survey_builder.h"

#include <algorithm>
#include <cmath>

namespace survey {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
constexpr double kMetresPerDegree = 6371008.8 * kDegree;

double eastPerDegree(const Plan& plan) {
  return kMetresPerDegree * std::cos(plan.latitude * kDegree);
}

double heightOf(const Plan& plan, const LinePlan& line) {
  return line.heightM > 0 ? line.heightM : plan.heightM;
}

// A normal noise of standard deviation 1, cut at 3, from a fixed sequence
// (xorshift and Box-Muller), so that a plan always gives the same photos.
struct Noise {
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  double uniform() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return (double(state >> 11) + 0.5) / 9007199254740992.0;
  }
  double normal() {
    const double value = std::sqrt(-2 * std::log(uniform())) * std::cos(2 * kPi * uniform());
    return std::clamp(value, -3.0, 3.0);
  }
};

// A photo to take: where (metres along the first line and across to its
// right), facing where the drone flies, when.
struct Shot {
  PlannedPhoto planned;
  double headingDeg = 0;  // the drone's
  double heightM = 0;
  double speedMps = 0;
  double seconds = 0;
};

readiness::SurveyPhoto photoOf(const Plan& plan, const Shot& shot, Noise& noise) {
  readiness::SurveyPhoto photo;
  photo.captureSeconds = shot.seconds;
  photo.hasCaptureTime = true;
  photo.latitude = plan.latitude;
  photo.longitude = plan.longitude;
  photo.hasPosition = true;
  const double h = plan.headingDeg * kDegree;
  double east = shot.planned.along * std::sin(h) + shot.planned.across * std::cos(h);
  double north = shot.planned.along * std::cos(h) - shot.planned.across * std::sin(h);
  if (plan.gpsNoiseM > 0) {
    east += plan.gpsNoiseM * noise.normal();
    north += plan.gpsNoiseM * noise.normal();
  }
  movePhoto(plan, photo, east, north);
  photo.relativeAltitudeM = float(shot.heightM);
  photo.hasRelativeAltitude = true;
  photo.gpsAltitudeM = float(kGroundM + shot.heightM);
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
  const double yaw = std::fmod(shot.headingDeg + (plan.longSideAlong ? 90 : 0) + 720, 360);
  photo.gimbalYawDeg = photo.flightYawDeg = float(yaw);
  photo.hasGimbalYaw = plan.yawIn == YawIn::gimbalAndFlight;
  photo.hasFlightYaw = plan.yawIn != YawIn::nowhere;
  photo.speedXMps = float(shot.speedMps * std::cos(shot.headingDeg * kDegree));
  photo.speedYMps = float(shot.speedMps * std::sin(shot.headingDeg * kDegree));
  photo.hasSpeed = true;
  photo.rtkFlag = 50;
  photo.hasRtkFlag = true;
  return photo;
}

// The photos of a turn from the shot `from` to the shot `to`: on the half
// circle between them, bulging the way `from` flew, evenly in time.
void addTurn(const Plan& plan, const Shot& from, const Shot& to, double seconds,
             std::vector<Shot>& shots) {
  const double centreAlong = (from.planned.along + to.planned.along) / 2;
  const double centreAcross = (from.planned.across + to.planned.across) / 2;
  const double radius =
      std::hypot(to.planned.along - from.planned.along, to.planned.across - from.planned.across) /
      2;
  if (!(radius > 0)) return;
  const double eAlong = (from.planned.along - centreAlong) / radius;
  const double eAcross = (from.planned.across - centreAcross) / radius;
  const double forward = std::cos((from.headingDeg - plan.headingDeg) * kDegree);  // +1 or -1
  for (int j = 1; j <= plan.turnPhotos; ++j) {
    const double t = kPi * j / (plan.turnPhotos + 1);
    Shot shot;
    shot.planned.line = -1;
    shot.planned.along = centreAlong + radius * (std::cos(t) * eAlong + std::sin(t) * forward);
    shot.planned.across = centreAcross + radius * std::cos(t) * eAcross;
    // The tangent, in the first line's frame (along, across), to a heading.
    const double dAlong = -std::sin(t) * eAlong + std::cos(t) * forward;
    const double dAcross = -std::sin(t) * eAcross;
    shot.headingDeg = plan.headingDeg + std::atan2(dAcross, dAlong) / kDegree;
    shot.heightM = from.heightM;
    shot.speedMps = from.speedMps;
    shot.seconds = seconds + plan.turnSeconds * j / (plan.turnPhotos + 1);
    shots.push_back(shot);
  }
}

}  // namespace

double gsdCmAt(double heightM) {
  return 100.0 * heightM * 43.27 / (kFocal35mm * std::hypot(double(kWidth), double(kHeight)));
}
double footprintAlongM(double heightM) { return kHeight * gsdCmAt(heightM) / 100.0; }
double footprintAcrossM(double heightM) { return kWidth * gsdCmAt(heightM) / 100.0; }

double alongTrackM(const Plan& plan, double heightM) {
  return plan.longSideAlong ? footprintAcrossM(heightM) : footprintAlongM(heightM);
}
double acrossTrackM(const Plan& plan, double heightM) {
  return plan.longSideAlong ? footprintAlongM(heightM) : footprintAcrossM(heightM);
}

double lineSpacingM(const Plan& plan) {
  return acrossTrackM(plan, plan.heightM) * (1 - plan.sideOverlap);
}
double photoSpacingM(const Plan& plan) {
  return alongTrackM(plan, plan.heightM) * (1 - plan.forwardOverlap);
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

std::vector<readiness::SurveyPhoto> lawnmower(const Plan& plan,
                                              std::vector<PlannedPhoto>* planned) {
  std::vector<Shot> shots;
  const double length = (plan.photosPerLine - 1) * photoSpacingM(plan);
  double seconds = plan.startSeconds;
  bool afterLine = false;  // a line flown since the start or the battery
  std::size_t lineEndAt = 0;
  double lineEndSeconds = 0;
  for (int n = 0; n < plan.lines; ++n) {
    if (n > 0 && n == plan.batteryAfterLines) {
      seconds += plan.batterySeconds;
      afterLine = false;
    }
    const int l = n < int(plan.flightOrder.size()) ? plan.flightOrder[n] : n;
    LinePlan line = l < int(plan.lineChanges.size()) ? plan.lineChanges[l] : LinePlan{};
    if (line.skipped) {
      seconds += plan.turnSeconds + plan.photosPerLine * plan.intervalSeconds;
      continue;
    }
    const double height = heightOf(plan, line);
    const double forward = line.forwardOverlap > 0 ? line.forwardOverlap : plan.forwardOverlap;
    // The plan's spacing at the plan's overlap sets the line's length; a
    // line at another overlap takes as many photos as fit in it.
    const int count = 1 + int(std::lround(length / (alongTrackM(plan, height) * (1 - forward))));
    const double step = length / (count - 1);
    const bool ahead = !plan.backAndForth || l % 2 == 0;
    const double speed = step / plan.intervalSeconds;
    for (int k = 0; k < count; ++k) {
      Shot shot;
      shot.planned.line = l;
      shot.planned.index = k;
      shot.planned.along = ahead ? k * step : length - k * step;
      shot.planned.across = l * lineSpacingM(plan);
      shot.headingDeg = plan.headingDeg + (ahead ? 0 : 180);
      shot.heightM = height;
      shot.speedMps = speed;
      shot.seconds = seconds;
      if (k == 0 && afterLine && plan.turnPhotos > 0) {
        const Shot end = shots[lineEndAt];
        addTurn(plan, end, shot, lineEndSeconds, shots);
      }
      shots.push_back(shot);
      seconds += plan.intervalSeconds;
    }
    lineEndAt = shots.size() - 1;
    afterLine = true;
    lineEndSeconds = seconds - plan.intervalSeconds;
    seconds += plan.turnSeconds;
  }
  std::vector<readiness::SurveyPhoto> photos;
  Noise noise;
  for (const Shot& shot : shots) {
    photos.push_back(photoOf(plan, shot, noise));
    if (planned != nullptr) planned->push_back(shot.planned);
  }
  return photos;
}

}  // namespace survey
