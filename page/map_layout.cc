#include "page/map_layout.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr double kMapSpan = 900;       // of kMapWidth: the set's extent
constexpr double kMinimumExtent = 10;  // metres: one photo still gets a map

// One number per photo that orders as its capture time does; no time: after all.
std::uint64_t timeKey(const CaptureTime& t) {
  if (t.year == 0) return UINT64_MAX;
  return std::uint64_t{t.year} << 40 | std::uint64_t{t.month} << 32 | std::uint64_t{t.day} << 24 |
         std::uint64_t{t.hour} << 16 | std::uint64_t{t.minute} << 8 | t.second;
}

}  // namespace

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

std::vector<std::uint32_t> captureOrder(const PageData& data, const MapLayout& map) {
  // Keys made in each comparison rather than kept: a sort of 100,000 photos
  // then holds no more than the order itself.
  const auto keyOf = [&](std::uint32_t k) {
    return timeKey(data.factsOf(map.placed[k])->captured);
  };
  const auto earlier = [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) < keyOf(b); };
  std::vector<std::uint32_t> order(map.placed.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
  // A flight's photos are mostly named in the order they were taken: one
  // pass tells, and spares the sort its reads of every photo's facts.
  if (!std::is_sorted(order.begin(), order.end(), earlier)) {
    std::stable_sort(order.begin(), order.end(), earlier);
  }
  return order;
}
