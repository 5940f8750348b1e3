// Where the map draws each photo with a position: metres east and north of
// the set's centre, scaled into a drawing 1000 units wide (the set's extent
// fills 900 of them, north up), and the order its line joins them in.
#ifndef PHOTOCHECK_PAGE_MAP_LAYOUT_H
#define PHOTOCHECK_PAGE_MAP_LAYOUT_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "page/flat_projection.h"
#include "page/page_parts.h"

// The drawing's width in map units.
inline constexpr double kMapWidth = 1000;

// The photos on the map and where they are drawn.
struct MapLayout {
  std::vector<std::size_t> placed;  // their images, in list order
  std::vector<FlatPoint> points;    // placed[k] is at points[k]
  double extent = 0;                // metres across the larger side
  double scale = 1;                 // map units per metre
  long long height = 300;           // map units

  long long x(const FlatPoint& p) const { return std::llround(kMapWidth / 2 + p.east * scale); }
  long long y(const FlatPoint& p) const {
    return std::llround(static_cast<double>(height) / 2 - p.north * scale);
  }
};

MapLayout layoutOf(const PageData& data);

// The places in map.placed in capture order: the photos with a capture time
// by that time, then those without, each in list order.
std::vector<std::uint32_t> captureOrder(const PageData& data, const MapLayout& map);

#endif  // PHOTOCHECK_PAGE_MAP_LAYOUT_H
