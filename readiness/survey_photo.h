// What the readiness analyses know of one photo of a set: the metadata that
// tell where it was taken, from how high, looking where, with which camera.
// The caller fills it from the facts it read (EXIF and the drone maker's XMP
// block); each field that a photo may lack has its own flag.
#ifndef PHOTOCHECK_READINESS_SURVEY_PHOTO_H
#define PHOTOCHECK_READINESS_SURVEY_PHOTO_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace readiness {

struct SurveyPhoto {
  // Seconds since 1970-01-01 00:00 of the camera's own clock (the capture
  // time as written, sub-seconds included), so that floor(seconds / 86400)
  // is the capture day.
  double captureSeconds = 0;
  double latitude = 0;          // degrees, north positive
  double longitude = 0;         // degrees, east positive
  float gpsAltitudeM = 0;       // above sea level
  float relativeAltitudeM = 0;  // XMP: above the take-off point
  float focalLength35mm = 0;    // 0: unknown
  float exposureSeconds = 0;    // 0: unknown
  float fNumber = 0;            // 0: unknown
  float digitalZoomRatio = 0;   // 0: unknown or not used (EXIF's "not used")
  float gimbalPitchDeg = 0;     // -90 straight down, 0 the horizon
  float gimbalYawDeg = 0;       // degrees clockwise from north
  float flightYawDeg = 0;
  float speedXMps = 0;  // XMP flight speeds, metres per second
  float speedYMps = 0;
  float speedZMps = 0;
  // Point into the caller's facts, which outlive the analysis.
  std::string_view model;
  std::string_view serial;
  std::uint32_t width = 0;  // pixels; 0: unknown
  std::uint32_t height = 0;
  std::uint32_t iso = 0;     // 0: unknown
  std::uint8_t rtkFlag = 0;  // XMP RtkFlag (kRtkFixed: a fixed solution)
  bool hasCaptureTime = false;
  bool hasPosition = false;
  bool hasGpsAltitude = false;
  bool hasRelativeAltitude = false;
  bool hasGimbalPitch = false;
  bool hasGimbalYaw = false;
  bool hasFlightYaw = false;
  bool hasSpeed = false;
  bool hasRtkFlag = false;
};

struct SurveyOptions {
  // The ground's height above sea level (PHOTOCHECK_GROUND_M), for photos
  // without a relative altitude.
  std::optional<double> groundAltitudeM;
};

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_SURVEY_PHOTO_H
