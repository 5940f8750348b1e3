// The page's map: one SVG circle per photo with a position (metres east and
// north of the set's centre), a line through them in capture order, a scale
// bar and a north arrow; beside it the details of a clicked dot and the
// photos that have no position. The script zooms and pans it by its viewBox.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "checks/value_texts.h"
#include "page/flat_projection.h"
#include "page/page_parts.h"
#include "page/page_words.h"

namespace {

// The drawing's width in SVG units; the set's extent fills kMapSpan of it.
constexpr double kMapWidth = 1000;
constexpr double kMapSpan = 900;
constexpr double kMinimumExtent = 10;  // metres: one photo still gets a map

// The photos on the map and where they are drawn.
struct MapLayout {
  std::vector<std::size_t> placed;  // their images, in list order
  std::vector<FlatPoint> points;    // placed[k] is at points[k]
  double extent = kMinimumExtent;   // metres across the larger side
  double scale = 1;                 // SVG units per metre
  long long height = 300;

  long long x(const FlatPoint& p) const { return std::llround(kMapWidth / 2 + p.east * scale); }
  long long y(const FlatPoint& p) const {
    return std::llround(static_cast<double>(height) / 2 - p.north * scale);
  }
};

MapLayout layoutOf(const PageData& data) {
  MapLayout map;
  std::vector<GeoPosition> positions;
  positions.reserve(data.imageCount);
  map.placed.reserve(data.imageCount);
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (!data.positioned(image)) continue;
    const ImageFacts& facts = *data.factsOf(image);
    map.placed.push_back(image);
    positions.push_back({facts.latitude, facts.longitude});
  }
  map.points = projectFlat(positions);
  double minEast = 0, maxEast = 0, minNorth = 0, maxNorth = 0;
  for (const FlatPoint& point : map.points) {
    minEast = std::min(minEast, point.east);
    maxEast = std::max(maxEast, point.east);
    minNorth = std::min(minNorth, point.north);
    maxNorth = std::max(maxNorth, point.north);
  }
  map.extent = std::max({maxEast - minEast, maxNorth - minNorth, kMinimumExtent});
  map.scale = kMapSpan / map.extent;
  map.height = std::max(300LL, std::llround((maxNorth - minNorth) * map.scale) + 100);
  return map;
}

// The places in map.placed in capture order: the photos with a capture time
// by that time, then those without, each in list order.
std::vector<std::size_t> captureOrder(const PageData& data, const MapLayout& map) {
  // One number per photo that orders as the time does; no time: after all.
  std::vector<std::uint64_t> keys(map.placed.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const CaptureTime& t = data.factsOf(map.placed[k])->captured;
    keys[k] = t.year == 0 ? UINT64_MAX
                          : std::uint64_t{t.year} << 40 | std::uint64_t{t.month} << 32 |
                                std::uint64_t{t.day} << 24 | std::uint64_t{t.hour} << 16 |
                                std::uint64_t{t.minute} << 8 | t.second;
  }
  std::vector<std::size_t> order(keys.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  return order;
}

void appendLegend(std::string& page, const PageData& data, std::size_t placedCount) {
  page += "<p>";
  appendNumber(page, static_cast<long long>(placedCount));
  page += ' ';
  appendWord(page, Word::positionedPhotos);
  page += ".<br><span class=hint>";
  appendWord(page, Word::mapHint);
  page += "</span> <button id=reset type=button>";
  appendWord(page, Word::resetView);
  page += "</button></p>\n<p>";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    // A photo the GPS check flags has no position: it cannot be on the map.
    if (!data.ran(c) || kCheckRows[c].valueTextOf == gpsValueText) continue;
    appendKey(page, c);
    appendWord(page, checkWord(c));
    page += " &nbsp; ";
  }
  appendKey(page, kCheckCount);
  appendWord(page, Word::passed);
  page += " &nbsp; (";
  appendWord(page, Word::ringMeans);
  page += ')';
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (!data.ran(c) || kCheckRows[c].valueTextOf != gpsValueText) continue;
    page += "<br>";
    appendWord(page, Word::gpsNotOnMap);
  }
  page += "</p>\n";
}

void appendTrack(std::string& page, const PageData& data, const MapLayout& map) {
  if (map.points.size() < 2) return;
  page += "<polyline class=t points=\"";
  for (const std::size_t k : captureOrder(data, map)) {
    appendNumber(page, map.x(map.points[k]));
    page += ',';
    appendNumber(page, map.y(map.points[k]));
    page += ' ';
  }
  page += "\"/>\n";
}

void appendDot(std::string& page, const PageData& data, const MapLayout& map, std::size_t k) {
  const std::size_t image = map.placed[k];
  int first = -1, count = 0;
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (!data.flaggedBy(image, c)) continue;
    if (first < 0) first = static_cast<int>(c);
    ++count;
  }
  page += "<circle id=d";
  appendNumber(page, static_cast<long long>(image));
  page += " cx=";
  appendNumber(page, map.x(map.points[k]));
  page += " cy=";
  appendNumber(page, map.y(map.points[k]));
  if (first < 0) {
    page += " r=4 class=p";
  } else {
    page += " r=8 class=\"f c";
    appendNumber(page, first);
    page += count > 1 ? " m\"" : "\"";
  }
  page += " data-n=\"";
  appendPath(page, data, image);
  const ImageFacts& facts = *data.factsOf(image);
  page += "\" data-p=\"";
  appendDegrees(page, facts.latitude);
  page += ", ";
  appendDegrees(page, facts.longitude);
  if (facts.captured.year != 0) {
    page += "\" data-c=\"";
    appendCaptureTime(page, facts.captured);
  }
  page += "\"/>\n";
}

// Scale bar (bottom left) and north arrow (top right).
void appendScaleAndNorth(std::string& page, const MapLayout& map) {
  const double bar = scaleBarMetres(map.extent);
  page += "<path d=\"M20 ";
  appendNumber(page, map.height - 20);
  page += " h";
  appendNumber(page, std::llround(bar * map.scale));
  page += "\" stroke=\"#000\" stroke-width=\"3\"/>\n<text x=\"20\" y=\"";
  appendNumber(page, map.height - 28);
  page += "\">";
  appendNumber(page, std::llround(bar >= 1000 ? bar / 1000 : bar));
  page += bar >= 1000 ? " km" : " m";
  page +=
      "</text>\n<path d=\"M970 15 L982 50 L970 42 L958 50 Z\" fill=\"#000\"/>"
      "<text x=\"964\" y=\"68\">N</text>\n";
}

// Beside the map: the clicked dot's details, then the photos without a
// position.
void appendSide(PageOut& out, const PageData& data, std::size_t placedCount) {
  out.text += "<div class=side><div id=info>";
  appendWord(out.text, Word::photoDetails);
  out.text += "</div>\n<h3>";
  appendWord(out.text, Word::withoutPosition);
  out.text += ": ";
  appendNumber(out.text, static_cast<long long>(data.imageCount - placedCount));
  out.text += "</h3>\n<ol>\n";
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (data.positioned(image)) continue;
    out.text += "<li data-i=";
    appendNumber(out.text, static_cast<long long>(image));
    out.text += '>';
    appendPath(out.text, data, image);
    out.text += "</li>\n";
    out.handOnWhenFull();
  }
  out.text += "</ol></div>\n";
}

}  // namespace

void appendMap(PageOut& out, const PageData& data) {
  const MapLayout map = layoutOf(data);
  out.text += "<h2>";
  appendWord(out.text, Word::map);
  out.text += "</h2>\n";
  appendLegend(out.text, data, map.placed.size());
  out.text += "<div class=map>\n<svg id=m xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1000 ";
  appendNumber(out.text, map.height);
  out.text += "\" width=\"1000\" height=\"";
  appendNumber(out.text, map.height);
  out.text += "\">\n";
  appendTrack(out.text, data, map);
  out.handOnWhenFull();
  // Passed photos first, so that a flagged dot is never hidden under one.
  for (const bool flaggedRound : {false, true}) {
    for (std::size_t k = 0; k < map.placed.size(); ++k) {
      if (data.flagged(map.placed[k]) != flaggedRound) continue;
      appendDot(out.text, data, map, k);
      out.handOnWhenFull();
    }
  }
  appendScaleAndNorth(out.text, map);
  out.text += "</svg>\n";
  appendSide(out, data, map.placed.size());
  out.text += "</div>\n";
}
