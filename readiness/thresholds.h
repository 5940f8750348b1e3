// The numbers the readiness analyses test a flight against. Each comes from
// published photogrammetry guidance (the source is named beside it) or, where
// the guidance gives none, from the geometry of a survey flight (said so).
#ifndef PHOTOCHECK_READINESS_THRESHOLDS_H
#define PHOTOCHECK_READINESS_THRESHOLDS_H

namespace readiness {

// Forward overlap between neighbours in a line below this is a finding.
// Propeller asks for "a minimum of 70%", OpenDroneMap's flying tips 70-80 %
// for 2D/2.5D; Pix4D asks for 75 % and plans 80 %.
constexpr double kMinForwardOverlap = 0.70;

// Side overlap between neighbouring lines below this is a finding. Pix4D's
// general case asks for at least 60 %, its planner uses 70 %, drone-tm 65 %.
constexpr double kMinSideOverlap = 0.60;

// A ground point seen by fewer photos than this is part of a gap. The Maps
// Made Easy overlap report calls 1-5 views per point inadequate; Skyline
// PhotoMesh asks for at least 3.
constexpr int kMinViews = 5;

// The coarsest ground sampling distance over the finest: above this the set
// may not reconstruct as one (Pix4D: a constant-altitude flight "may ... fail
// if ... the highest GSD exceed twice the lowest GSD").
constexpr double kMaxGsdSpread = 2.0;

// A gimbal pitch further than this from its flight's median pitch is an
// oblique shot among nadir ones, or the reverse (OpenDroneMap flies nadir
// 5-10 degrees off; 20 leaves room for gimbal settling).
constexpr double kMaxPitchOffMedianDeg = 20.0;

// A gimbal pitch above this has the horizon in view (drone-tm's check:
// "gimbal pitch above -20 degrees"). -90 is straight down.
constexpr double kHorizonPitchDeg = -20.0;

// A photo tilted further than this from straight down gets no footprint and
// no ground sampling distance: the rotated-rectangle footprint holds for
// near-nadir photos only (an oblique photo sees a trapezoid reaching far out).
constexpr double kMaxNadirTiltDeg = 20.0;

// Ground smear during the exposure, in pixels, above which motion blur is
// likely: Maps Made Easy colours a smear under 1 GSD grey, 1-2 yellow, more
// than 2 red (DroneMapper's stricter half-pixel rule would flag more).
constexpr double kMaxSmearPixels = 1.0;

// A shutter slower than this is said (DroneDeploy flags exposures slower
// than 1/80 s).
constexpr double kSlowShutterSeconds = 1.0 / 80.0;

// Two photos of one flight further apart in time than this belong to two
// flights. A drone mapping a line shoots every 1 to 5 s and turns between
// lines in well under a minute; landing, changing a battery and flying back
// takes several minutes. Two minutes sits between the two.
constexpr double kFlightGapSeconds = 120.0;

// A change of heading larger than this between one photo and the next ends
// a line (a lawnmower turns 90 then 90 degrees again; a straight line
// wobbles by a few degrees in wind).
constexpr double kTurnDeg = 30.0;

// A step that turns more than kTurnDeg ends a line only when it also leaves
// the line fitted to its photos so far by more than this (or goes back along
// it): consumer GPS wanders 1-2 m from photo to photo, which turns the short
// steps of a high-overlap line by tens of degrees, while the next line of a
// survey lies a line spacing away (17 m at 80 % side overlap 60 m up).
constexpr double kLineWanderM = 8.0;

// A line of fewer photos than this is a turn or a single shot: it is not a
// neighbour line for the side overlap.
constexpr int kMinLinePhotos = 3;

// Two neighbouring lines are parallel (either direction) when their headings
// differ by at most this, modulo 180 degrees.
constexpr double kParallelDeg = 20.0;

// A photo with no other photo within this many times the set's median
// neighbour spacing is a GPS outlier. The guidance gives no ratio (drone-tm
// flags photos more than 100 km from the project); ten times the spacing is
// far beyond any line spacing a survey plans at 60 % side overlap or more.
constexpr double kOutlierSpacingFactor = 10.0;

// Stationary photos: drone-tm drops runs of 6 or more photos within 5 m.
constexpr int kStationaryPhotos = 6;
constexpr double kStationaryRadiusM = 5.0;

// A hover: every photo of the run has a ground speed below this, or the run's
// photos are spread over at least kHoverSecondsPerPhoto each (an interval
// timer at work, the drone standing still on purpose).
constexpr double kHoverSpeedMps = 0.5;
constexpr double kHoverSecondsPerPhoto = 1.0;

// A height above ground beyond this, or a 35 mm focal length below this, is
// taken as a misread tag, not measured: camera drones are allowed 120 m, and
// mapping aircraft fly a few kilometres up; the widest fisheye is some 8 mm.
constexpr double kMaxHeightM = 10000.0;
constexpr double kMinFocalLength35mm = 4.0;

// The diagonal of the 35 mm frame (36 x 24 mm), which a 35 mm equivalent
// focal length is measured against.
constexpr double kFrameDiagonal35mm = 43.27;

// DJI's RtkFlag value for a fixed RTK solution (0 none, 16 single point,
// 34 float, 50 fixed; ExifTool's DJI tag table).
constexpr int kRtkFixed = 50;

// The views grid: at most this many cells whatever the survey's area (2 MiB
// of counts); the cell grows to fit, and is never finer than an eighth of the
// median footprint's shorter side (finer shows nothing more).
constexpr long kMaxGridCells = 1L << 19;
constexpr double kCellsPerFootprintSide = 8.0;

// The views grid made coarse for drawing on the page's map holds at most
// this many cells (4 KiB of views and as many of gap marks).
constexpr long kMaxRasterCells = 4096;

// At most this many photo indices are listed per finding (the count says how
// many there are), and at most this many coverage gaps are listed.
constexpr unsigned kMaxPhotosPerFinding = 1000;
constexpr unsigned kMaxGapFindings = 50;
// At most this many groups are listed per camera property.
constexpr unsigned kMaxCameraGroups = 10;

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_THRESHOLDS_H
