#include "page/map_data.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "page/html_text.h"
#include "page/page_words.h"

namespace {

// RapidJSON's writer into a buffer of its own, whose text is moved to the
// page now and then by handOn.
using MapWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Moves the buffer's text to the page. '<' stands only inside strings in
// JSON, where \u003c is the same character: written so, no "</script" or
// "<!--" can stand in the block.
void handOn(rapidjson::StringBuffer& buffer, std::string& page) {
  const std::string_view text(buffer.GetString(), buffer.GetSize());
  std::size_t from = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', from)) {
    page.append(text.substr(from, at - from));
    page += "\\u003c";
    from = at + 1;
  }
  page.append(text.substr(from));
  buffer.Clear();
}

std::uint64_t timeNumber(const CaptureTime& t) {
  if (t.year == 0) return 0;
  return ((((t.year * 100ULL + t.month) * 100 + t.day) * 100 + t.hour) * 100 + t.minute) * 100 +
         t.second;
}

unsigned flagsOf(const PageData& data, std::size_t image) {
  unsigned flags = 0;
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (data.flaggedBy(image, c)) flags |= 1u << c;
  }
  return flags;
}

long long microDegrees(double degrees) { return std::llround(degrees * 1e6); }

// What the dots' positions and times are counted from (see map_data.h).
struct MapOrigin {
  long long latitude = 0, longitude = 0;  // millionths of a degree
  std::uint64_t captured = 0;             // the earliest capture time's number
};

MapOrigin originOf(const PageData& data, const MapLayout& map) {
  MapOrigin origin;
  if (map.placed.empty()) return origin;
  const ImageFacts& first = *data.factsOf(map.placed.front());
  origin.latitude = microDegrees(first.latitude);
  origin.longitude = microDegrees(first.longitude);
  for (const std::size_t image : map.placed) {
    const std::uint64_t captured = timeNumber(data.factsOf(image)->captured);
    if (captured != 0 && (origin.captured == 0 || captured < origin.captured)) {
      origin.captured = captured;
    }
  }
  return origin;
}

// With readiness, a dot's flight (-1: none) and its footprint: its sides
// along and across its heading in tenths of a map unit and the heading in
// degrees clockwise from north (0, 0, 0: none). The ground it covers is its
// ground sampling distance times its pixels, the image's height along the
// heading (its top edge faces it).
void writeFootprint(MapWriter& json, const PageData& data, const MapLayout& map,
                    std::size_t image) {
  const readiness::PhotoReadiness* measured = data.readinessOf(image);
  const ImageFacts& facts = *data.factsOf(image);
  json.Int64(measured != nullptr && measured->flight ? *measured->flight : -1);
  if (measured == nullptr || !measured->gsdCm || !measured->yawDeg || facts.imageWidth == 0 ||
      facts.imageHeight == 0) {
    json.Int(0);
    json.Int(0);
    json.Int(0);
    return;
  }
  const double unitsPerPixel = *measured->gsdCm / 100 * map.scale * 10;
  json.Int64(std::llround(unitsPerPixel * facts.imageHeight));
  json.Int64(std::llround(unitsPerPixel * facts.imageWidth));
  json.Int64(std::llround(*measured->yawDeg));
}

// A measure as a whole number of `perUnit`ths, none where unknown.
std::optional<long long> wholeOf(readiness::MaybeFloat value, double perUnit) {
  if (!value) return std::nullopt;
  return std::llround(*value * perUnit);
}

template <typename T>
std::optional<long long> wholeOf(readiness::MaybeCount<T> value) {
  if (!value) return std::nullopt;
  return static_cast<long long>(*value);
}

// With readiness, what the details of a dot show of it (null: unknown; the
// unknown ones at the end left out, so that a set without heights pays
// nothing for them): its line (0-based), its height above ground in
// decimetres, its GSD in hundredths of a centimetre, its forward and side
// overlap in percent, its views, its gimbal pitch in degrees and its smear
// in hundredths of a pixel.
void writeReadinessFacts(MapWriter& json, const PageData& data, std::size_t image) {
  const readiness::PhotoReadiness* measured = data.readinessOf(image);
  if (measured == nullptr) return;
  const std::optional<long long> facts[] = {wholeOf(measured->line),
                                            wholeOf(measured->heightAboveGroundM, 10),
                                            wholeOf(measured->gsdCm, 100),
                                            wholeOf(measured->forwardOverlap, 100),
                                            wholeOf(measured->sideOverlap, 100),
                                            wholeOf(measured->views),
                                            wholeOf(measured->pitchDeg, 1),
                                            wholeOf(measured->smearPx, 100)};
  std::size_t count = std::size(facts);
  while (count > 0 && !facts[count - 1]) --count;
  for (std::size_t k = 0; k < count; ++k) {
    if (facts[k]) {
      json.Int64(*facts[k]);
    } else {
      json.Null();
    }
  }
}

// The standard base64 alphabet, for the coverage raster's bytes.
void appendBase64(std::string& text, const std::vector<std::uint8_t>& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t k = 0; k < bytes.size(); k += 3) {
    const std::uint32_t a = bytes[k];
    const std::uint32_t b = k + 1 < bytes.size() ? bytes[k + 1] : 0;
    const std::uint32_t c = k + 2 < bytes.size() ? bytes[k + 2] : 0;
    const std::uint32_t word = a << 16 | b << 8 | c;
    text += kAlphabet[word >> 18 & 63];
    text += kAlphabet[word >> 12 & 63];
    text += k + 1 < bytes.size() ? kAlphabet[word >> 6 & 63] : '=';
    text += k + 2 < bytes.size() ? kAlphabet[word & 63] : '=';
  }
}

double hundredths(double value) { return std::round(value * 100) / 100; }

// The coverage raster (see map_data.h): where its south-west corner is drawn
// and a cell's size, in map units, its size in cells, and its cells as
// base64, the fewest views (at most 127) plus 128 in a gap's cell. Placed
// by the first dot, whose position the map knows in both forms: the
// raster's degrees are counted from it at its latitude's metres per degree.
void writeCoverage(MapWriter& json, const PageData& data, const MapLayout& map) {
  const readiness::CoverageRaster& raster = data.input.readiness->coverage;
  if (raster.views.empty() || map.placed.empty()) return;
  constexpr double kMetresPerDegree = 6371008.8 * 3.14159265358979323846 / 180.0;
  const ImageFacts& first = *data.factsOf(map.placed.front());
  const double eastPerDegree =
      kMetresPerDegree * std::cos(first.latitude * 3.14159265358979323846 / 180.0);
  double longitudeOffset = raster.west - first.longitude;
  if (longitudeOffset > 180) longitudeOffset -= 360;
  if (longitudeOffset < -180) longitudeOffset += 360;
  const FlatPoint corner{
      map.points.front().east + longitudeOffset * eastPerDegree,
      map.points.front().north + (raster.south - first.latitude) * kMetresPerDegree};
  std::vector<std::uint8_t> cells(raster.views.size());
  for (std::size_t k = 0; k < cells.size(); ++k) {
    cells[k] = static_cast<std::uint8_t>(std::min<unsigned>(raster.views[k], 127) |
                                         (raster.gaps[k] != 0 ? 128 : 0));
  }
  std::string packed;
  appendBase64(packed, cells);
  json.Key("cov");
  json.StartArray();
  json.Double(hundredths(kMapWidth / 2 + corner.east * map.scale));
  json.Double(hundredths(static_cast<double>(map.height) / 2 - corner.north * map.scale));
  json.Double(hundredths(raster.cellEast * eastPerDegree * map.scale));
  json.Double(hundredths(raster.cellNorth * kMetresPerDegree * map.scale));
  json.Uint(raster.columns);
  json.Uint(raster.rows);
  json.String(packed.data(), static_cast<rapidjson::SizeType>(packed.size()));
  json.EndArray();
}

// How far a photo's footprint reaches along the direction (east, north), a
// unit vector, in metres; 0 without a footprint.
double reachAlong(const PageData& data, std::size_t image, double east, double north) {
  const readiness::PhotoReadiness* measured = data.readinessOf(image);
  const ImageFacts& facts = *data.factsOf(image);
  if (measured == nullptr || !measured->gsdCm || !measured->yawDeg) return 0;
  const double yaw = *measured->yawDeg * 3.14159265358979323846 / 180.0;
  const double ue = std::sin(yaw), un = std::cos(yaw);
  const double along = *measured->gsdCm / 100 * facts.imageHeight;
  const double across = *measured->gsdCm / 100 * facts.imageWidth;
  return along * std::fabs(ue * east + un * north) + across * std::fabs(un * east - ue * north);
}

// True when the track's line from placed[a] to placed[b] would join photos
// that are not neighbours in one line, or whose footprints do not meet (a
// stretch of the line missing between them): there it breaks, so that no
// line is drawn over ground no photo covers.
bool breaksBetween(const PageData& data, const MapLayout& map, std::size_t a, std::size_t b) {
  const readiness::PhotoReadiness* first = data.readinessOf(map.placed[a]);
  const readiness::PhotoReadiness* second = data.readinessOf(map.placed[b]);
  if (first == nullptr || second == nullptr || !first->line || !(second->line == *first->line)) {
    return true;
  }
  const double east = map.points[b].east - map.points[a].east;
  const double north = map.points[b].north - map.points[a].north;
  const double distance = std::hypot(east, north);
  if (!(distance > 0)) return false;
  const double reachA = reachAlong(data, map.placed[a], east / distance, north / distance);
  const double reachB = reachAlong(data, map.placed[b], east / distance, north / distance);
  return reachA > 0 && reachB > 0 && distance >= (reachA + reachB) / 2;
}

// The coverage gaps, each as the dots of the photos around it.
void writeGaps(MapWriter& json, const PageData& data, const MapLayout& map,
               const std::vector<std::uint32_t>& drawnAt) {
  json.Key("gaps");
  json.StartArray();
  for (const readiness::Finding& finding : data.input.readiness->findings) {
    if (finding.cause != readiness::FindingCause::fewViews) continue;
    json.StartArray();
    for (const std::uint32_t image : finding.photos) {
      const auto at = std::lower_bound(map.placed.begin(), map.placed.end(), image);
      if (at == map.placed.end() || *at != image) continue;
      json.Uint(drawnAt[static_cast<std::size_t>(at - map.placed.begin())]);
    }
    json.EndArray();
  }
  json.EndArray();
}

// `path` is the caller's, kept from dot to dot so that its room is made once.
void writeDot(MapWriter& json, const PageData& data, const MapLayout& map, const MapOrigin& origin,
              std::size_t k, std::string& path) {
  const std::size_t image = map.placed[k];
  const ImageFacts& facts = *data.factsOf(image);
  const std::uint64_t captured = timeNumber(facts.captured);
  path.clear();
  appendShownText(path, data.pathOf(image));
  json.StartArray();
  json.Uint64(image);
  json.Int64(map.x(map.points[k]));
  json.Int64(map.y(map.points[k]));
  json.Uint(flagsOf(data, image));
  json.String(path.data(), static_cast<rapidjson::SizeType>(path.size()));
  json.Int64(microDegrees(facts.latitude) - origin.latitude);
  json.Int64(microDegrees(facts.longitude) - origin.longitude);
  json.Uint64(captured == 0 ? 0 : captured - origin.captured + 1);
  if (data.input.readiness != nullptr) {
    writeFootprint(json, data, map, image);
    writeReadinessFacts(json, data, image);
  }
  json.EndArray();
}

void writeScaleBar(MapWriter& json, const MapLayout& map) {
  const double bar = scaleBarMetres(map.extent);
  std::string label;
  appendNumber(label, std::llround(bar >= 1000 ? bar / 1000 : bar));
  label += bar >= 1000 ? " km" : " m";
  json.Key("bar");
  json.StartArray();
  json.Int64(std::llround(bar * map.scale));
  json.String(label.c_str());
  json.EndArray();
}

}  // namespace

void appendMapData(PageOut& out, const PageData& data, const MapLayout& map) {
  out.text += "<script type=application/json id=mapdata>";
  rapidjson::StringBuffer buffer;
  MapWriter json(buffer);
  json.StartObject();
  json.Key("w");
  json.Int64(std::llround(kMapWidth));
  json.Key("h");
  json.Int64(map.height);
  writeScaleBar(json, map);
  const MapOrigin origin = originOf(data, map);
  json.Key("origin");
  json.StartArray();
  json.Int64(origin.latitude);
  json.Int64(origin.longitude);
  json.Uint64(origin.captured);
  json.EndArray();
  json.Key("colours");
  json.StartArray();
  for (const char* colour : kCheckColours) json.String(colour);
  json.EndArray();
  // Passed photos first, so that a flagged dot is never hidden under one;
  // drawnAt[k]: where placed[k] stands among the dots.
  std::vector<std::uint32_t> drawnAt(map.placed.size());
  std::uint32_t next = 0;
  std::string path;
  json.Key("dots");
  json.StartArray();
  for (const bool flaggedRound : {false, true}) {
    for (std::size_t k = 0; k < map.placed.size(); ++k) {
      if (data.flagged(map.placed[k]) != flaggedRound) continue;
      writeDot(json, data, map, origin, k, path);
      drawnAt[k] = next++;
      if (buffer.GetSize() >= 4096) handOn(buffer, out.text);
      out.handOnWhenFull();
    }
  }
  json.EndArray();
  json.Key("track");
  json.StartArray();
  // With readiness, -1 where the line breaks: between photos of different
  // lines, or where one has none, or whose footprints do not meet.
  const bool breaks = data.input.readiness != nullptr;
  std::size_t previous = SIZE_MAX;
  for (const std::uint32_t k : captureOrder(data, map)) {
    if (breaks && previous != SIZE_MAX && breaksBetween(data, map, previous, k)) {
      json.Int(-1);
    }
    previous = k;
    json.Uint(drawnAt[k]);
    if (buffer.GetSize() >= 4096) handOn(buffer, out.text);
    out.handOnWhenFull();
  }
  json.EndArray();
  if (data.input.readiness != nullptr) {
    writeGaps(json, data, map, drawnAt);
    writeCoverage(json, data, map);
    // The words of the details' readiness facts, in the dots' order.
    json.Key("rw");
    json.StartArray();
    for (const Word word : {Word::flight, Word::line, Word::heightAboveGround,
                            Word::groundSampleDistance, Word::forwardOverlap, Word::sideOverlap,
                            Word::views, Word::gimbalPitch, Word::motionSmear}) {
      json.Uint(static_cast<unsigned>(word));
    }
    json.EndArray();
    json.Key("flightColours");
    json.StartArray();
    for (const char* colour : kFlightColours) json.String(colour);
    json.EndArray();
  }
  json.EndObject();
  handOn(buffer, out.text);
  out.text += "</script>\n";
}
