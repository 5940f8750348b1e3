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

// Grows the set of cells marked 1 in `cells` (rows x columns) by `reach`
// cells each way, a square, in place: a cell is in when any cell of its
// window is, counted by running sums along the rows and then the columns.
// With `outsideIn`, the cells beyond the grid count as in.
void grow(std::vector<std::uint8_t>& cells, std::uint32_t rows, std::uint32_t columns,
          std::uint32_t reach, bool outsideIn) {
  std::vector<std::uint32_t> sums(std::size_t(std::max(rows, columns)) + 1);
  const auto pass = [&](std::uint32_t lines, std::uint32_t length, std::size_t lineStep,
                        std::size_t cellStep) {
    for (std::uint32_t line = 0; line < lines; ++line) {
      std::uint8_t* first = cells.data() + line * lineStep;
      for (std::uint32_t k = 0; k < length; ++k) sums[k + 1] = sums[k] + first[k * cellStep];
      for (std::uint32_t k = 0; k < length; ++k) {
        const std::uint32_t low = k >= reach ? k - reach : 0;
        const std::uint32_t high = std::min<std::uint64_t>(length, std::uint64_t(k) + reach + 1);
        const bool beyond = k < reach || std::uint64_t(k) + reach + 1 > length;
        first[k * cellStep] = (sums[high] - sums[low] > 0) || (outsideIn && beyond);
      }
    }
  };
  pass(rows, columns, columns, 1);
  pass(columns, rows, 1, columns);
}

void flip(std::vector<std::uint8_t>& cells) {
  for (std::uint8_t& cell : cells) cell = !cell;
}

double medianLongerSide(const Footprints& footprints) {
  std::vector<float> sides;
  for (const std::optional<Footprint>& footprint : footprints) {
    if (footprint) sides.push_back(std::max(footprint->alongM, footprint->acrossM));
  }
  if (sides.empty()) return 0;
  auto middle = sides.begin() + sides.size() / 2;
  std::nth_element(sides.begin(), middle, sides.end());
  return *middle;
}

struct Region {
  std::uint32_t cells = 0;
  std::uint32_t fewestViews = 0;
  std::uint32_t minColumn = 0, maxColumn = 0, minRow = 0, maxRow = 0;
  std::uint32_t id = 0;  // its number in the flood's order
  bool wide = false;     // a cell of it has its eight neighbours in it
};

// True when the footprint at `centre`, a cell wider all round, covers a
// cell of `region` (regionOf: per cell, its region's id + 1): the photo
// borders the gap or sees into it.
bool reachesRegion(const CoverageGrid& grid, const std::vector<std::uint32_t>& regionOf,
                   const Region& region, const LocalPoint& centre, const Footprint& footprint) {
  const double reach = halfDiagonal(footprint) + grid.cellM;
  const double fromColumn = std::max(double(region.minColumn),
                                     std::floor((centre.east - reach - grid.west) / grid.cellM));
  const double toColumn = std::min(double(region.maxColumn),
                                   std::floor((centre.east + reach - grid.west) / grid.cellM));
  const double fromRow =
      std::max(double(region.minRow), std::floor((centre.north - reach - grid.south) / grid.cellM));
  const double toRow =
      std::min(double(region.maxRow), std::floor((centre.north + reach - grid.south) / grid.cellM));
  const double ue = std::sin(footprint.yawDeg * kDegree), un = std::cos(footprint.yawDeg * kDegree);
  for (double r = fromRow; r <= toRow; ++r) {
    for (double c = fromColumn; c <= toColumn; ++c) {
      if (regionOf[std::size_t(r) * grid.columns + std::size_t(c)] != region.id + 1) continue;
      const double dx = grid.west + (c + 0.5) * grid.cellM - centre.east;
      const double dy = grid.south + (r + 0.5) * grid.cellM - centre.north;
      if (std::fabs(dx * ue + dy * un) <= footprint.alongM / 2 + grid.cellM &&
          std::fabs(dx * un - dy * ue) <= footprint.acrossM / 2 + grid.cellM) {
        return true;
      }
    }
  }
  return false;
}

// The views grid made coarse enough for drawing (see CoverageRaster), each
// listed gap's cells marked with its place among the findings (gapOf: per
// grid cell, 0 or 1 + that place).
void coarsen(const CoverageGrid& grid, const std::vector<std::uint8_t>& gapOf,
             const LocalFrame& frame, CoverageRaster& raster) {
  const std::uint32_t factor = static_cast<std::uint32_t>(
      std::ceil(std::sqrt(double(grid.columns) * grid.rows / double(kMaxRasterCells)) - 1e-9));
  std::uint32_t f = std::max<std::uint32_t>(1, factor);
  while (std::uint64_t((grid.columns + f - 1) / f) * ((grid.rows + f - 1) / f) > kMaxRasterCells)
    ++f;
  raster.columns = (grid.columns + f - 1) / f;
  raster.rows = (grid.rows + f - 1) / f;
  const auto corner = geoOf(frame, {grid.west, grid.south});
  raster.south = corner.first;
  raster.west = corner.second;
  raster.cellNorth = f * grid.cellM / frame.northPerDegree;
  raster.cellEast = f * grid.cellM / frame.eastPerDegree;
  raster.views.assign(std::size_t(raster.columns) * raster.rows, 255);
  raster.gaps.assign(raster.views.size(), 0);
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    for (std::uint32_t c = 0; c < grid.columns; ++c) {
      const std::size_t at = std::size_t(r / f) * raster.columns + c / f;
      const std::uint32_t views = grid.views[std::size_t(r) * grid.stride() + c];
      raster.views[at] = std::uint8_t(std::min<std::uint32_t>({views, raster.views[at], 255}));
      const std::uint8_t gap = gapOf[std::size_t(r) * grid.columns + c];
      if (gap != 0 && raster.gaps[at] == 0) raster.gaps[at] = gap;
    }
  }
}

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

std::vector<std::uint8_t> insideOfSurvey(const CoverageGrid& grid,
                                         const std::vector<LocalPoint>& points,
                                         const Footprints& footprints) {
  std::vector<std::uint8_t> inside(std::size_t(grid.rows) * grid.columns, 0);
  if (inside.empty()) return inside;
  const auto cells = [&](double metres) {
    return static_cast<std::uint32_t>(std::min(1e4, std::ceil(metres / grid.cellM)));
  };
  const std::uint32_t reach = cells(medianLongerSide(footprints));
  const std::uint32_t margin = cells(medianShorterSide(footprints) / 2);
  // The closing reaches beyond the grid's edge: it works on the grid with a
  // border of reach + margin cells all round.
  const std::uint32_t border = reach + margin;
  const std::uint32_t rows = grid.rows + 2 * border, columns = grid.columns + 2 * border;
  std::vector<std::uint8_t> closed(std::size_t(rows) * columns, 0);
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!footprints[i]) continue;
    const double column = std::floor((points[i].east - grid.west) / grid.cellM);
    const double row = std::floor((points[i].north - grid.south) / grid.cellM);
    if (column < 0 || row < 0 || column >= grid.columns || row >= grid.rows) continue;
    closed[(std::size_t(row) + border) * columns + std::size_t(column) + border] = 1;
  }
  // Closing (grow, then shrink as much) fills what lies between photos
  // closer than two reaches; shrinking by the margin more drops the rim.
  grow(closed, rows, columns, reach, false);
  flip(closed);
  grow(closed, rows, columns, reach + margin, true);
  flip(closed);
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    std::copy_n(closed.begin() + std::ptrdiff_t((std::size_t(r) + border) * columns + border),
                grid.columns, inside.begin() + std::ptrdiff_t(std::size_t(r) * grid.columns));
  }
  return inside;
}

void findCoverageGaps(const CoverageGrid& grid, const std::vector<std::uint8_t>& inside,
                      const std::vector<LocalPoint>& points, const Footprints& footprints,
                      const LocalFrame& frame, std::vector<PhotoReadiness>& photos,
                      std::vector<Finding>& findings, std::uint32_t& leftOut,
                      CoverageRaster& raster) {
  if (grid.views.empty()) return;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (footprints[i]) {
      photos[i].views = static_cast<std::uint16_t>(std::min<std::uint32_t>(
          grid.viewsAt(points[i]), std::numeric_limits<std::uint16_t>::max() - 1));
    }
  }
  const auto isGap = [&](std::uint32_t r, std::uint32_t c) {
    return inside[std::size_t(r) * grid.columns + c] &&
           grid.views[std::size_t(r) * grid.stride() + c] < std::uint32_t(kMinViews);
  };
  // A region is a hole where a cell of it has its eight neighbours in it,
  // or four cells of it in a square are seen by at most kMinViews - 2: a
  // region of neither is a seam (the stripes of a survey flown at the edge
  // of kMinViews, seen by one photo too few, or the noise of the positions).
  const auto isDeep = [&](std::uint32_t r, std::uint32_t c) {
    return isGap(r, c) && grid.views[std::size_t(r) * grid.stride() + c] <= kMinViews - 2;
  };
  const auto isWide = [&](std::uint32_t r, std::uint32_t c) {
    if (r + 1 < grid.rows && c + 1 < grid.columns && isDeep(r, c) && isDeep(r + 1, c) &&
        isDeep(r, c + 1) && isDeep(r + 1, c + 1)) {
      return true;
    }
    if (r == 0 || c == 0 || r + 1 >= grid.rows || c + 1 >= grid.columns) return false;
    for (std::uint32_t dr = r - 1; dr <= r + 1; ++dr) {
      for (std::uint32_t dc = c - 1; dc <= c + 1; ++dc) {
        if (!isGap(dr, dc)) return false;
      }
    }
    return true;
  };
  std::vector<bool> seen(grid.views.size(), false);
  // Each gap cell's region (its id + 1), for marking the listed ones.
  std::vector<std::uint32_t> regionOf(std::size_t(grid.rows) * grid.columns, 0);
  std::vector<std::uint32_t> queue;
  std::vector<Region> regions;
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    for (std::uint32_t c = 0; c < grid.columns; ++c) {
      const std::size_t at = std::size_t(r) * grid.stride() + c;
      if (seen[at] || !isGap(r, c)) continue;
      Region region{0, grid.views[at], c, c, r, r, std::uint32_t(regions.size()), false};
      queue.assign(1, std::uint32_t(at));
      seen[at] = true;
      while (!queue.empty()) {
        const std::uint32_t cell = queue.back();
        queue.pop_back();
        const std::uint32_t cr = cell / grid.stride(), cc = cell % grid.stride();
        ++region.cells;
        regionOf[std::size_t(cr) * grid.columns + cc] = region.id + 1;
        if (!region.wide) region.wide = isWide(cr, cc);
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
  const std::size_t regionCount = regions.size();
  regions.erase(std::remove_if(regions.begin(), regions.end(),
                               [](const Region& region) { return !region.wide; }),
                regions.end());
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
    const auto southWest = geoOf(frame, {west, south});
    const auto northEast = geoOf(frame, {east, north});
    finding.area = GeoBox{southWest.first, southWest.second, northEast.first, northEast.second};
    for (std::uint32_t i = 0; i < points.size(); ++i) {
      if (footprints[i] && reachesRegion(grid, regionOf, region, points[i], *footprints[i])) {
        addPhoto(finding, i);
      }
    }
    findings.push_back(std::move(finding));
  }
  // The listed gaps' cells marked with their place among the findings.
  std::vector<std::uint8_t> gapOf(regionOf.size(), 0);
  {
    std::vector<std::uint8_t> placeOf(regionCount + 1, 0);
    for (std::size_t k = 0; k < regions.size(); ++k)
      placeOf[regions[k].id + 1] = std::uint8_t(k + 1);
    for (std::size_t cell = 0; cell < regionOf.size(); ++cell) {
      if (regionOf[cell] != 0) gapOf[cell] = placeOf[regionOf[cell]];
    }
  }
  coarsen(grid, gapOf, frame, raster);
}

}  // namespace readiness
