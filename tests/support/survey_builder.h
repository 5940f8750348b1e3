// Synthetic survey flights for the readiness analyses: a lawnmower over flat
// ground whose overlap, ground sampling distance and gaps are known by
// construction, and the changes that make a flight fail (a slow line, a
// missing line, a climb, a hole), flown in any direction, the camera turned
// with the drone or across it, with GPS noise and photos taken in the turns.
//
// The camera: 35 mm equivalent focal length 24 mm, 4000 x 3000 pixels, so
// GSD = 100 * H * 43.27 / (24 * 5000) cm/px (3.606 cm at 100 m), and the
// footprint is 4000 x GSD across the line by 3000 x GSD along it (the
// image's top edge faces the way the drone flies), or the other way round
// with the camera turned a quarter.
#ifndef PHOTOCHECK_TESTS_SUPPORT_SURVEY_BUILDER_H
#define PHOTOCHECK_TESTS_SUPPORT_SURVEY_BUILDER_H

#include <cstdint>
#include <vector>

#include "readiness/survey_photo.h"

namespace survey {

constexpr double kFocal35mm = 24;
constexpr std::uint32_t kWidth = 4000;
constexpr std::uint32_t kHeight = 3000;
constexpr double kGroundM = 400;  // above sea level

// centimetres per pixel at `heightM`.
double gsdCmAt(double heightM);
double footprintAlongM(double heightM);
double footprintAcrossM(double heightM);

struct LinePlan {
  double forwardOverlap = 0;  // 0: the plan's
  double heightM = 0;         // 0: the plan's
  bool skipped = false;       // flown over without a photo
};

// Where the camera's yaw is written: in the gimbal's and the drone's XMP
// fields, in the drone's alone, or nowhere (taken from the line).
enum class YawIn : std::uint8_t { gimbalAndFlight, flightOnly, nowhere };

struct Plan {
  double latitude = 47.0;  // the first photo's
  double longitude = 8.0;
  double heightM = 100;
  double forwardOverlap = 0.8;
  double sideOverlap = 0.7;
  int lines = 8;
  // At the plan's forward overlap; a line keeps its length. 21 photos make
  // 20 steps: a line at 50 % or at 2.5 times the height fits 8 exactly.
  int photosPerLine = 21;
  double startSeconds = 1699948800;  // 2023-11-14 08:00
  double intervalSeconds = 2;
  double turnSeconds = 10;
  float exposureSeconds = 1.0f / 1000;
  std::vector<LinePlan> lineChanges;  // per line, where it differs from the plan
  // The order the lines are flown in (a fixed wing's racetrack: 0, 2, 4, 6,
  // 7, 5, 3, 1); empty: one after another.
  std::vector<int> flightOrder;
  // The first line's heading, clockwise from north; the lines follow one
  // another to its right.
  double headingDeg = 0;
  // Every other line flown back (a lawnmower), else all the same way.
  bool backAndForth = true;
  YawIn yawIn = YawIn::gimbalAndFlight;
  // The camera turned a quarter to the right of the drone's heading: the
  // image's long side along the track.
  bool longSideAlong = false;
  // Each photo's position off by this much at most each way, east and
  // north (a deterministic noise, the same for the same plan).
  double gpsNoiseM = 0;
  // Photos taken on a half circle between one line's end and the next's
  // start, facing the way the drone turns.
  int turnPhotos = 0;
  // After this many lines flown, a pause of batterySeconds (a battery
  // changed); 0: none.
  int batteryAfterLines = 0;
  double batterySeconds = 600;
};

// What a photo was planned as: its line (-1: taken in a turn) and its place
// in the line in the order flown, and where it was meant to be, in metres
// along the first line's heading and across to its right from the first
// photo (before the GPS noise).
struct PlannedPhoto {
  int line = -1;
  int index = 0;
  double along = 0;
  double across = 0;
};

// The lines run along the plan's heading, one after another to its right,
// each photo facing the way the drone flies (or a quarter right of it),
// pitched straight down, with its relative altitude, GPS altitude, XMP
// speeds and a fixed RTK solution. `planned`, when given, gets one entry
// per photo.
std::vector<readiness::SurveyPhoto> lawnmower(const Plan& plan,
                                              std::vector<PlannedPhoto>* planned = nullptr);

// Where the photo is, in metres east and north of the plan's first photo.
double eastOf(const Plan& plan, const readiness::SurveyPhoto& photo);
double northOf(const Plan& plan, const readiness::SurveyPhoto& photo);

// Moves a photo by metres east and north.
void movePhoto(const Plan& plan, readiness::SurveyPhoto& photo, double east, double north);

// The footprint's reach along the track and across it at `heightM`.
double alongTrackM(const Plan& plan, double heightM);
double acrossTrackM(const Plan& plan, double heightM);

// The line spacing and the photo spacing the plan flies at its own height
// and overlap.
double lineSpacingM(const Plan& plan);
double photoSpacingM(const Plan& plan);

}  // namespace survey

#endif  // PHOTOCHECK_TESTS_SUPPORT_SURVEY_BUILDER_H
