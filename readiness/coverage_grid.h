// Views per ground point: every footprint counted on a grid over the survey,
// and the regions inside the survey that fewer than kMinViews photos see.
//
// The grid holds at most kMaxGridCells cells whatever the area (a larger
// survey gets coarser cells), so its memory is bounded; each footprint adds
// one to the cells whose centre it covers, one span per row. Only footprints
// of photos that look down are counted (see looksDown): an oblique photo's
// trapezoid reaching towards the horizon is not a rectangle.
#ifndef PHOTOCHECK_READINESS_COVERAGE_GRID_H
#define PHOTOCHECK_READINESS_COVERAGE_GRID_H

#include <cstdint>
#include <vector>

#include "readiness/overlap.h"
#include "readiness/readiness_result.h"
#include "readiness/survey_layout.h"

namespace readiness {

struct CoverageGrid {
  double west = 0;   // the first column's left edge, metres east
  double south = 0;  // the first row's lower edge
  double cellM = 0;
  std::uint32_t columns = 0;
  std::uint32_t rows = 0;
  // Row after row, each of columns + 1 cells (the last, 0, is where the
  // counting took its ones off).
  std::vector<std::uint32_t> views;

  std::size_t stride() const { return std::size_t(columns) + 1; }
  std::uint32_t viewsAt(const LocalPoint& point) const;
};

// The grid of every footprint's views (empty when no photo has one).
CoverageGrid countViews(const std::vector<LocalPoint>& points, const Footprints& footprints);

// The survey's inside, one mark per cell (rows x columns): what lies
// between the footprinted photos' positions, found by closing them on the
// grid with a reach of the median footprint's longer side (so that a gap
// between lines, or a hole of up to two footprints, is inside, while the
// notch of an L-shaped survey or the strip between two distant blocks is
// not), less half the median footprint's shorter side all round. Every
// survey's rim is seen by fewer photos than its middle, so the rim is not
// searched for gaps; a hole wider than two footprints is found at its edges.
std::vector<std::uint8_t> insideOfSurvey(const CoverageGrid& grid,
                                         const std::vector<LocalPoint>& points,
                                         const Footprints& footprints);

// One coverageGap finding per region of 4-connected inside cells seen by
// fewer than kMinViews photos and three cells wide somewhere, or two where
// at most kMinViews - 2 see it (a thinner seam is the stripes of a survey
// flown at the edge of kMinViews, or noise), the
// largest kMaxGapFindings of them (the rest counted in `leftOut`), each
// naming the photos whose footprints reach it, its fewest views and its box
// in degrees. Sets each footprinted photo's views (those at its centre), and
// `raster` to the grid made coarse for drawing, the listed gaps marked.
void findCoverageGaps(const CoverageGrid& grid, const std::vector<std::uint8_t>& inside,
                      const std::vector<LocalPoint>& points, const Footprints& footprints,
                      const LocalFrame& frame, std::vector<PhotoReadiness>& photos,
                      std::vector<Finding>& findings, std::uint32_t& leftOut,
                      CoverageRaster& raster);

}  // namespace readiness

#endif  // PHOTOCHECK_READINESS_COVERAGE_GRID_H
