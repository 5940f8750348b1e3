#include "readiness/coverage_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "readiness/finding_photos.h"
#include "readiness/thresholds.h"

namespace readiness {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The range of x (relative to the footprint's centre) where |x * a + b| <= h;
// the whole line when a is 0 and |b| <= h, nothing when a is 0 otherwise.
void narrow(double a, double b, double h, double& low, double& high) {
  if (std::fabs(a) < 1e-12) {
    if (std::fabs(b) > h) high = -kInfinity;
    return;
  }
  double from = (-h - b) / a, to = (h - b) / a;
  if (from > to) std::swap(from, to);
  low = std::max(low, from);
  high = std::min(high, to);
}

double halfDiagonal(const Footprint& footprint) {
  return std::hypot(footprint.alongM, footprint.acrossM) / 2;
}

double medianShorterSide(const Footprints& footprints) {
  std::vector<float> sides;
  for (const std::optional<Footprint>& footprint : footprints) {
    if (footprint) sides.push_back(float(std::min(footprint->alongM, footprint->acrossM)));
  }
  if (sides.empty()) return 0;
  auto middle = sides.begin() + sides.size() / 2;
  std::nth_element(sides.begin(), middle, sides.end());
  return *middle;
}

// The columns [first, last) whose centres lie in [low, high] metres east.
void columnsBetween(const CoverageGrid& grid, double low, double high, std::uint32_t& first,
                    std::uint32_t& last) {
  const double from = std::ceil((low - grid.west) / grid.cellM - 0.5);
  const double to = std::floor((high - grid.west) / grid.cellM - 0.5) + 1;
  first = static_cast<std::uint32_t>(std::clamp(from, 0.0, double(grid.columns)));
  last = static_cast<std::uint32_t>(std::clamp(to, double(first), double(grid.columns)));
}

// Andrew's monotone chain: the convex hull, counter-clockwise. The chain
// grows only as far as the hull (a few dozen corners), not to twice the
// points.
std::vector<LocalPoint> convexHull(std::vector<LocalPoint> points) {
  std::sort(points.begin(), points.end(), [](const LocalPoint& a, const LocalPoint& b) {
    return a.east < b.east || (a.east == b.east && a.north < b.north);
  });
  if (points.size() < 3) return points;
  const auto cross = [](const LocalPoint& o, const LocalPoint& a, const LocalPoint& b) {
    return (a.east - o.east) * (b.north - o.north) - (a.north - o.north) * (b.east - o.east);
  };
  std::vector<LocalPoint> hull;
  for (std::size_t i = 0; i < points.size(); ++i) {
    while (hull.size() >= 2 && cross(hull[hull.size() - 2], hull.back(), points[i]) <= 0) {
      hull.pop_back();
    }
    hull.push_back(points[i]);
  }
  for (std::size_t i = points.size() - 1, lower = hull.size() + 1; i-- > 0;) {
    while (hull.size() >= lower && cross(hull[hull.size() - 2], hull.back(), points[i]) <= 0) {
      hull.pop_back();
    }
    hull.push_back(points[i]);
  }
  hull.pop_back();  // the first point again
  return hull;
}

struct Region {
  std::uint32_t cells = 0;
  std::uint32_t fewestViews = 0;
  std::uint32_t minColumn = 0, maxColumn = 0, minRow = 0, maxRow = 0;
};

}  // namespace

std::uint32_t CoverageGrid::viewsAt(const LocalPoint& point) const {
  const double column = std::floor((point.east - west) / cellM);
  const double row = std::floor((point.north - south) / cellM);
  if (column < 0 || row < 0 || column >= columns || row >= rows) return 0;
  return views[std::size_t(row) * stride() + std::size_t(column)];
}

CoverageGrid countViews(const std::vector<LocalPoint>& points, const Footprints& footprints) {
  CoverageGrid grid;
  double west = kInfinity, east = -kInfinity, south = kInfinity, north = -kInfinity;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!footprints[i]) continue;
    const double reach = halfDiagonal(*footprints[i]);
    west = std::min(west, points[i].east - reach);
    east = std::max(east, points[i].east + reach);
    south = std::min(south, points[i].north - reach);
    north = std::max(north, points[i].north + reach);
  }
  if (!(west < east) || !(south < north)) return grid;
  const double width = east - west, height = north - south;
  grid.cellM = std::max(medianShorterSide(footprints) / kCellsPerFootprintSide,
                        std::sqrt(width * height / double(kMaxGridCells)));
  while (std::ceil(width / grid.cellM) * std::ceil(height / grid.cellM) > double(kMaxGridCells)) {
    grid.cellM *= 1.01;
  }
  grid.west = west;
  grid.south = south;
  grid.columns = static_cast<std::uint32_t>(std::max(1.0, std::ceil(width / grid.cellM)));
  grid.rows = static_cast<std::uint32_t>(std::max(1.0, std::ceil(height / grid.cellM)));
  // Each row holds one more cell than the grid: a footprint adds one at its
  // first column and takes one off after its last, then a running sum along
  // the row makes the counts in place (the counts wrap and unwrap in
  // unsigned arithmetic).
  const std::size_t stride = grid.stride();
  grid.views.assign(stride * grid.rows, 0);
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!footprints[i]) continue;
    const Footprint& footprint = *footprints[i];
    const double ue = std::sin(footprint.yawDeg * kDegree),
                 un = std::cos(footprint.yawDeg * kDegree);
    const double reach = halfDiagonal(footprint);
    const LocalPoint& centre = points[i];
    const double rowFrom = std::ceil((centre.north - reach - south) / grid.cellM - 0.5);
    const double rowTo = std::floor((centre.north + reach - south) / grid.cellM - 0.5);
    for (double r = std::max(0.0, rowFrom); r <= rowTo && r < grid.rows; ++r) {
      const double dy = south + (r + 0.5) * grid.cellM - centre.north;
      double low = -kInfinity, high = kInfinity;
      narrow(ue, dy * un, footprint.alongM / 2, low, high);    // along the yaw
      narrow(un, -dy * ue, footprint.acrossM / 2, low, high);  // across it
      if (!(low <= high)) continue;
      std::uint32_t first = 0, last = 0;
      columnsBetween(grid, centre.east + low, centre.east + high, first, last);
      if (first >= last) continue;
      std::uint32_t* row = grid.views.data() + std::size_t(r) * stride;
      ++row[first];
      --row[last];
    }
  }
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    std::uint32_t* row = grid.views.data() + std::size_t(r) * stride;
    for (std::uint32_t c = 1; c < grid.columns; ++c) row[c] += row[c - 1];
    row[grid.columns] = 0;
  }
  return grid;
}

InsideSpans insideOfSurvey(const CoverageGrid& grid, const std::vector<LocalPoint>& points,
                           const Footprints& footprints) {
  InsideSpans inside;
  inside.first.assign(grid.rows, 0);
  inside.last.assign(grid.rows, 0);
  // The hull of the westmost and eastmost photo of each row of the grid
  // stands for the hull of all: it differs from it by less than a row at
  // the top and bottom edges, and takes two points a row, not one a photo.
  std::vector<LocalPoint> westmost(grid.rows), eastmost(grid.rows);
  std::vector<bool> any(grid.rows, false);
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!footprints[i]) continue;
    const double row = std::floor((points[i].north - grid.south) / grid.cellM);
    const std::size_t r = std::size_t(std::clamp(row, 0.0, double(grid.rows - 1)));
    if (!any[r] || points[i].east < westmost[r].east) westmost[r] = points[i];
    if (!any[r] || points[i].east > eastmost[r].east) eastmost[r] = points[i];
    any[r] = true;
  }
  std::vector<LocalPoint> extremes;
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    if (!any[r]) continue;
    extremes.push_back(westmost[r]);
    if (eastmost[r].east != westmost[r].east) extremes.push_back(eastmost[r]);
  }
  const std::vector<LocalPoint> hull = convexHull(std::move(extremes));
  if (hull.size() < 3) return inside;  // one line or one spot: no inside
  const double margin = medianShorterSide(footprints) / 2;
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    const double y = grid.south + (r + 0.5) * grid.cellM;
    double low = -kInfinity, high = kInfinity;
    for (std::size_t e = 0; e < hull.size() && low <= high; ++e) {
      const LocalPoint& p = hull[e];
      const LocalPoint& q = hull[(e + 1) % hull.size()];
      const double length = std::hypot(q.east - p.east, q.north - p.north);
      if (length == 0) continue;
      // The inward normal of a counter-clockwise edge points to its left:
      // inside by the margin where nx * x + ny * y >= c.
      const double nx = -(q.north - p.north) / length, ny = (q.east - p.east) / length;
      const double c = margin + nx * p.east + ny * p.north - ny * y;
      if (std::fabs(nx) < 1e-12) {
        if (c > 0) high = -kInfinity;
      } else if (nx > 0) {
        low = std::max(low, c / nx);
      } else {
        high = std::min(high, c / nx);
      }
    }
    if (low <= high) columnsBetween(grid, low, high, inside.first[r], inside.last[r]);
  }
  return inside;
}

void findCoverageGaps(const CoverageGrid& grid, const InsideSpans& inside,
                      const std::vector<LocalPoint>& points, const Footprints& footprints,
                      std::vector<PhotoReadiness>& photos, std::vector<Finding>& findings,
                      std::uint32_t& leftOut) {
  if (grid.views.empty()) return;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (footprints[i]) {
      photos[i].views = static_cast<std::uint16_t>(std::min<std::uint32_t>(
          grid.viewsAt(points[i]), std::numeric_limits<std::uint16_t>::max() - 1));
    }
  }
  const auto isGap = [&](std::uint32_t r, std::uint32_t c) {
    return c >= inside.first[r] && c < inside.last[r] &&
           grid.views[std::size_t(r) * grid.stride() + c] < std::uint32_t(kMinViews);
  };
  std::vector<bool> seen(grid.views.size(), false);
  std::vector<std::uint32_t> queue;
  std::vector<Region> regions;
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    for (std::uint32_t c = inside.first[r]; c < inside.last[r]; ++c) {
      const std::size_t at = std::size_t(r) * grid.stride() + c;
      if (seen[at] || !isGap(r, c)) continue;
      Region region{0, grid.views[at], c, c, r, r};
      queue.assign(1, std::uint32_t(at));
      seen[at] = true;
      while (!queue.empty()) {
        const std::uint32_t cell = queue.back();
        queue.pop_back();
        const std::uint32_t cr = cell / grid.stride(), cc = cell % grid.stride();
        ++region.cells;
        region.fewestViews = std::min(region.fewestViews, grid.views[cell]);
        region.minColumn = std::min(region.minColumn, cc);
        region.maxColumn = std::max(region.maxColumn, cc);
        region.minRow = std::min(region.minRow, cr);
        region.maxRow = std::max(region.maxRow, cr);
        const std::uint32_t nr[4] = {cr, cr, cr - 1, cr + 1};
        const std::uint32_t nc[4] = {cc - 1, cc + 1, cc, cc};
        for (int n = 0; n < 4; ++n) {
          // Unsigned: one before 0 wraps past the grid and is left out.
          if (nr[n] >= grid.rows || nc[n] >= grid.columns) continue;
          const std::size_t next = std::size_t(nr[n]) * grid.stride() + nc[n];
          if (seen[next] || !isGap(nr[n], nc[n])) continue;
          seen[next] = true;
          queue.push_back(std::uint32_t(next));
        }
      }
      regions.push_back(region);
    }
  }
  std::sort(regions.begin(), regions.end(),
            [](const Region& a, const Region& b) { return a.cells > b.cells; });
  if (regions.size() > kMaxGapFindings) {
    leftOut += static_cast<std::uint32_t>(regions.size() - kMaxGapFindings);
    regions.resize(kMaxGapFindings);
  }
  for (const Region& region : regions) {
    Finding finding = makeFinding(FindingKind::coverageGap, FindingCause::fewViews);
    finding.value = region.fewestViews;
    const double west = grid.west + region.minColumn * grid.cellM;
    const double east = grid.west + (region.maxColumn + 1) * grid.cellM;
    const double south = grid.south + region.minRow * grid.cellM;
    const double north = grid.south + (region.maxRow + 1) * grid.cellM;
    for (std::uint32_t i = 0; i < points.size(); ++i) {
      if (!footprints[i]) continue;
      // A footprint that reaches the gap's box, or its edge (a cell on).
      const double reach = halfDiagonal(*footprints[i]) + grid.cellM;
      if (points[i].east + reach >= west && points[i].east - reach <= east &&
          points[i].north + reach >= south && points[i].north - reach <= north) {
        addPhoto(finding, i);
      }
    }
    findings.push_back(std::move(finding));
  }
}

}  // namespace readiness
