// How a set's photos lie: positions in metres on a local flat map, flights in
// capture order and the straight lines of each flight. Every analysis after
// the first reads it.
#ifndef PHOTOCHECK_READINESS_SURVEY_LAYOUT_H
#define PHOTOCHECK_READINESS_SURVEY_LAYOUT_H

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "readiness/readiness_result.h"
#include "readiness/survey_photo.h"

namespace readiness {

struct LocalPoint {
  double east = 0;   // metres east of the survey's centre
  double north = 0;  // metres north
};

// The local map's frame: where its 0/0 lies and how many metres a degree
// makes, for giving a place on it back in degrees.
struct LocalFrame {
  double latitude = 0, longitude = 0;  // degrees at 0/0
  double eastPerDegree = 1, northPerDegree = 1;
};

// A photo is placed where it has a position that is not 0/0 (a receiver
// without a fix writes zeros).
bool isPlaced(const SurveyPhoto& photo);

// Each placed photo in metres east and north of the centre of the placed
// photos' bounding box: equirectangular about the centre's latitude, which
// at a survey's few kilometres is off by far less than a footprint.
// Longitudes are taken relative to the first placed photo, so a set across
// the 180th meridian stays in one piece. Unplaced photos get 0/0.
std::vector<LocalPoint> projectLocal(const std::vector<SurveyPhoto>& photos,
                                     LocalFrame* frame = nullptr);

// Degrees of latitude (first) and longitude (second) of a local point.
std::pair<double, double> geoOf(const LocalFrame& frame, const LocalPoint& point);

struct FlightLine {
  std::uint32_t flight = 0;
  std::uint32_t begin = 0;  // range in SurveyLayout::lineOrder
  std::uint32_t end = 0;
  std::optional<double> headingDeg;  // first photo to last, clockwise from north
};

struct SurveyLayout {
  LocalFrame frame;
  std::vector<LocalPoint> points;  // per photo (0/0 where not placed)
  std::vector<std::uint8_t> placed;
  // The photos with a capture time, in capture order (ties in list order),
  // and where each flight begins in it (flightBegin.back() == timeOrder.size()).
  std::vector<std::uint32_t> timeOrder;
  std::vector<std::uint32_t> flightBegin;
  // The placed photos of timeOrder, line after line.
  std::vector<std::uint32_t> lineOrder;
  std::vector<FlightLine> lines;
  std::vector<MaybeCount<std::uint32_t>> flightOf;  // per photo
  std::vector<MaybeCount<std::uint32_t>> lineOf;
  std::vector<Finding> timeGaps;  // one per new flight after the first
  std::uint32_t timeGapsLeftOut = 0;
};

// The layout's points and placed marks; no flights yet.
SurveyLayout placePhotos(const std::vector<SurveyPhoto>& photos);

// Splits the photos into flights at a pause of more than kFlightGapSeconds
// or a change of day, and each flight's placed photos into straight lines at
// a turn: a step more than kTurnDeg off the line's heading that leaves the
// line's axis by more than kLineWanderM (GPS noise turns short steps
// further than that without leaving the line). A line's heading is its
// photos' best-fitting direction, the way it was flown. Photos without a capture time belong to no
// flight, photos not placed to no line: nothing is guessed for them.
void splitFlights(const std::vector<SurveyPhoto>& photos, SurveyLayout& layout);

// The mean position of a line's photos.
LocalPoint meanOf(const SurveyLayout& layout, const FlightLine& line);

// The heading from `from` to `to`, degrees clockwise from north; none when
// the two lie closer than half a metre.
std::optional<double> headingBetween(const LocalPoint& from, const LocalPoint& to);

// The smallest angle between two headings, 0..180 degrees.
double headingDifference(double a, double b);

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_SURVEY_LAYOUT_H
