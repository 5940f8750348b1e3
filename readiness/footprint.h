// What one photo sees of the ground: its height above the ground, its ground
// sampling distance and the rectangle it covers, from the 35 mm equivalent
// focal length and the pixel size (no sensor table needed).
#ifndef PHOTOCHECK_READINESS_FOOTPRINT_H
#define PHOTOCHECK_READINESS_FOOTPRINT_H

#include <optional>

#include "readiness/survey_photo.h"

namespace readiness {

// The ground a nadir photo covers: a rectangle about its position, turned to
// its yaw (the image's top edge faces the yaw).
struct Footprint {
  // Floats: 100,000 footprints in 1.6 MB, to a millimetre.
  float alongM = 0;   // along the yaw: the image's height in pixels on the ground
  float acrossM = 0;  // across it: the image's width
  float yawDeg = 0;   // clockwise from north
};

// From the XMP relative altitude (above the take-off point), else the GPS
// altitude less the ground height the user gave, else unknown: a height
// above sea level says nothing of the ground under the drone. None at or
// below the ground.
std::optional<double> heightAboveGround(const SurveyPhoto& photo, const SurveyOptions& options);

// True when the photo looks straight down within kMaxNadirTiltDeg, or its
// pitch is unknown (taken as a mapping photo's nadir).
bool looksDown(const SurveyPhoto& photo);

// Centimetres of ground per pixel at `heightM` straight down:
// 100 * H * 43.27 / (F35 * image diagonal in pixels), the 35 mm frame's
// diagonal standing for the sensor's. None without a focal length or pixel
// size.
std::optional<double> groundSampleCm(const SurveyPhoto& photo, double heightM);

// The photo's footprint at `heightM` facing `yawDeg`.
std::optional<Footprint> nadirFootprint(const SurveyPhoto& photo, double heightM, double yawDeg);

// The footprint's heading: the gimbal's yaw, else the drone's, else the
// direction of its line.
std::optional<double> footprintYaw(const SurveyPhoto& photo, std::optional<double> lineHeadingDeg);

// How far the footprint reaches along a direction `headingDeg`: the width of
// its shadow on that axis.
double extentAlong(const Footprint& footprint, double headingDeg);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_FOOTPRINT_H
