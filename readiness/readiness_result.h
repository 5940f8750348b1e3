// What the readiness analyses tell of a set: a verdict, the findings with the
// photos they concern, and per photo what was measured of it.
#ifndef PHOTOCHECK_READINESS_READINESS_RESULT_H
#define PHOTOCHECK_READINESS_READINESS_RESULT_H

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace readiness {

enum class Verdict : std::uint8_t {
  ready,   // no finding that puts the reconstruction at risk
  atRisk,  // at least one
  // No photo has a footprint, mostly for want of a height above ground
  // (else of a position or a focal length): no overlap can be measured.
  cannotTell,
};

// The kinds of findings; kindName gives each its name in the side files.
enum class FindingKind : std::uint8_t {
  coverageGap,
  lowForwardOverlap,
  lowSideOverlap,
  gsdSpread,
  oblique,
  motionBlurRisk,
  mixedCamera,
  gpsOutlier,
  duplicate,
  timeGap,
};

// Why, within a kind.
enum class FindingCause : std::uint8_t {
  fewViews,         // coverageGap: a region seen by fewer than kMinViews
  forwardBelow,     // lowForwardOverlap: photos of one line
  sideBelow,        // lowSideOverlap: a line against the one before it
  finestPhotos,     // gsdSpread: photos under half the coarsest GSD
  coarsestPhotos,   // gsdSpread: photos over twice the finest GSD
  pitchOffMedian,   // oblique: far from the flight's median pitch
  horizonInView,    // oblique: pitch above kHorizonPitchDeg
  smearAbovePixel,  // motionBlurRisk: smear above kMaxSmearPixels
  slowShutter,      // motionBlurRisk: exposure slower than 1/80 s (said)
  otherModel,       // mixedCamera: one group of photos per value
  otherSerial,
  otherFocalLength,
  otherZoom,
  zeroPosition,         // gpsOutlier: latitude and longitude both 0
  farFromNeighbours,    // gpsOutlier: no photo within k x the median spacing
  missingAltitude,      // gpsOutlier: a position without altitude
  rtkMixed,             // gpsOutlier: photos without a fixed RTK solution
                        // among photos with one
  sameTimeAndPosition,  // duplicate: same capture time and position
  stationary,           // duplicate: 6 or more within 5 m, not a hover
  flightGap,            // timeGap: a new flight after a pause (said)
  otherDay,             // timeGap: a new flight on another day
};

// A part of the ground, in degrees: the box about a coverage gap.
struct GeoBox {
  double south = 0, west = 0, north = 0, east = 0;
};

struct Finding {
  FindingKind kind = FindingKind::coverageGap;
  FindingCause cause = FindingCause::fewViews;
  // The photos concerned (indices into the input, in list order), at most
  // kMaxPhotosPerFinding of them; photoCount says how many there are.
  std::vector<std::uint32_t> photos;
  std::uint32_t photoCount = 0;
  // Where it applies, when it applies to one flight or line (0-based).
  std::optional<std::uint32_t> flight;
  std::optional<std::uint32_t> line;
  std::optional<std::uint32_t> otherLine;  // sideBelow: the line before
  // The measure: the lowest overlap (a fraction), the GSD spread, the worst
  // pitch or smear, the gap's views, the pause in seconds...
  std::optional<double> value;
  std::string label;           // mixedCamera: the group's value; gsdSpread: its flights
  std::optional<GeoBox> area;  // coverageGap: the box about its cells
};

// The views per ground point, coarsened for drawing: at most
// kMaxRasterCells cells whatever the survey, each holding the fewest views
// of the grid's cells in it (at most 255) and the coverage gap it shows (0:
// none, else 1 + the gap's place among the coverage-gap findings).
struct CoverageRaster {
  double south = 0, west = 0;          // degrees: the south-west corner
  double cellNorth = 0, cellEast = 0;  // degrees: one cell's size
  std::uint32_t columns = 0, rows = 0;
  std::vector<std::uint8_t> views;  // row after row, the southern row first
  std::vector<std::uint8_t> gaps;
};

// A measure that may be unknown, in the bytes of the measure alone: NaN
// stands for unknown, so that 100,000 photos' measures take 4 MB, not 8.
// Reads like std::optional.
struct MaybeFloat {
  float stored = std::numeric_limits<float>::quiet_NaN();
  MaybeFloat() = default;
  MaybeFloat(float value) : stored(value) {}
  bool has_value() const { return stored == stored; }
  explicit operator bool() const { return has_value(); }
  float operator*() const { return stored; }
};

// A count or number that may be unknown: its largest value stands for
// unknown.
template <typename T>
struct MaybeCount {
  static constexpr T kNone = std::numeric_limits<T>::max();
  T stored = kNone;
  MaybeCount() = default;
  MaybeCount(T value) : stored(value) {}
  bool has_value() const { return stored != kNone; }
  explicit operator bool() const { return has_value(); }
  T operator*() const { return stored; }
  friend bool operator==(MaybeCount a, T b) { return a.has_value() && a.stored == b; }
};

// Every measure is unknown where the photo lacks what it needs.
struct PhotoReadiness {
  MaybeCount<std::uint32_t> flight;  // 0-based, in capture order
  MaybeCount<std::uint32_t> line;    // 0-based over the whole set
  MaybeFloat heightAboveGroundM;
  MaybeFloat gsdCm;           // centimetres per pixel
  MaybeFloat forwardOverlap;  // fraction, the worse neighbour's
  MaybeFloat sideOverlap;     // fraction, the worse neighbour line's
  MaybeFloat pitchDeg;
  MaybeFloat yawDeg;  // the footprint's heading
  MaybeFloat smearPx;
  MaybeCount<std::uint16_t> views;  // photos that see its centre (at most 65534)
};

// Why no photo got a footprint, for "cannot tell": the first of the steps
// towards one that no photo passed.
enum class NoFootprint : std::uint8_t {
  noPosition,     // no photo has a usable GPS position
  noHeight,       // none of those has a height above ground
  noNadirPhoto,   // none of those looks straight down
  noFocalLength,  // none of those has a 35 mm focal length and pixel size
  noHeading,      // none of those has a yaw or a line to take one from
};

struct ReadinessResult {
  Verdict verdict = Verdict::cannotTell;
  NoFootprint noFootprint = NoFootprint::noHeight;  // with Verdict::cannotTell
  std::vector<Finding> findings;
  std::vector<PhotoReadiness> photos;  // one per input photo, in list order
  std::uint32_t flightCount = 0;
  std::uint32_t lineCount = 0;
  std::uint32_t photosWithoutTime = 0;      // no flight, no line
  std::uint32_t photosWithoutPosition = 0;  // no line, no footprint
  std::uint32_t photosWithoutHeight = 0;    // positioned, but no height above ground
  // Findings not listed: coverage gaps, time gaps and stationary runs beyond
  // kMaxGapFindings, camera groups beyond kMaxCameraGroups.
  std::uint32_t findingsLeftOut = 0;
  double gridCellM = 0;  // the views grid's cell
  CoverageRaster coverage;
};

// "ready", "at risk", or "cannot tell: " and why, such as "cannot tell: no
// height above ground".
const char* verdictText(Verdict verdict, NoFootprint why = NoFootprint::noHeight);

// The kind's name in the side files: "coverage_gap", "low_forward_overlap"...
const char* kindName(FindingKind kind);

// False for the findings that are only said (a pause between flights, a slow
// shutter alone): they do not put the reconstruction at risk.
bool isRisk(FindingCause cause);

// One English line for the finding, with its numbers (flights and lines
// 1-based, as people count them).
std::string findingText(const Finding& finding);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_READINESS_RESULT_H
