#include "readiness/coverage_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "readiness/thresholds.h"

namespace {

using readiness::Footprint;
using readiness::LocalPoint;

TEST(CoverageGrid, CountsEachFootprintOverItsAreaWhateverItsYaw) {
  for (double yaw : {0.0, 30.0, 45.0, 90.0, 200.0}) {
    SCOPED_TRACE(yaw);
    const std::vector<LocalPoint> points = {{0, 0}};
    const readiness::Footprints footprints = {Footprint{60, 100, float(yaw)}};
    const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
    // An eighth of the shorter side.
    EXPECT_NEAR(grid.cellM, 7.5, 1e-9);
    double cells = 0;
    for (std::uint32_t views : grid.views) {
      ASSERT_LE(views, 1u);
      cells += views;
    }
    // Cells count by their centres: at 45 degrees 114 cells of 7.5 m.
    EXPECT_NEAR(cells * grid.cellM * grid.cellM, 6000, 6000 * 0.08);
    EXPECT_EQ(grid.viewsAt({0, 0}), 1u);
    // Along the yaw the footprint reaches 30 m, across it 50 m.
    const double east = std::sin(yaw * readiness::kDegree);
    const double north = std::cos(yaw * readiness::kDegree);
    EXPECT_EQ(grid.viewsAt({25 * east, 25 * north}), 1u);
    EXPECT_EQ(grid.viewsAt({35 * east, 35 * north}), 0u);
    EXPECT_EQ(grid.viewsAt({45 * north, -45 * east}), 1u);
    EXPECT_EQ(grid.viewsAt({55 * north, -55 * east}), 0u);
  }
}

TEST(CoverageGrid, StaysWithinItsCellsWhateverTheArea) {
  // Two photos 1,000 km apart: the cells grow to fit, the memory does not.
  const std::vector<LocalPoint> points = {{-500000, 0}, {500000, 200}};
  const readiness::Footprints footprints = {Footprint{60, 100, 0}, Footprint{60, 100, 0}};
  const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
  EXPECT_LE(std::size_t(grid.columns) * grid.rows, std::size_t(readiness::kMaxGridCells));
  EXPECT_GT(grid.cellM, 7.5);
  EXPECT_EQ(grid.viewsAt(points[0]), 1u);
  EXPECT_EQ(grid.viewsAt(points[1]), 1u);
}

TEST(CoverageGrid, TheInsideLiesHalfAFootprintWithinThePhotos) {
  // Photos 80 m apart on a 5 x 5 lattice, footprints 100 m square, the
  // middle one missing: the inside is the lattice less 50 m all round
  // (50 to 270 m), the hole in the middle included.
  std::vector<LocalPoint> points;
  for (int k = 0; k < 25; ++k) {
    if (k != 12) points.push_back({80.0 * (k % 5), 80.0 * (k / 5)});
  }
  const readiness::Footprints footprints(points.size(), Footprint{100, 100, 0});
  const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
  const std::vector<std::uint8_t> inside = readiness::insideOfSurvey(grid, points, footprints);
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    for (std::uint32_t c = 0; c < grid.columns; ++c) {
      const double east = grid.west + (c + 0.5) * grid.cellM;
      const double north = grid.south + (r + 0.5) * grid.cellM;
      const bool within = east > 50 && east < 270 && north > 50 && north < 270;
      const bool rim = std::fabs(east - 50) < grid.cellM || std::fabs(east - 270) < grid.cellM ||
                       std::fabs(north - 50) < grid.cellM || std::fabs(north - 270) < grid.cellM;
      if (rim) continue;
      EXPECT_EQ(inside[r * grid.columns + c], within) << east << " " << north;
    }
  }
  // The middle is seen by none: one gap, with the eight photos about it.
  std::vector<readiness::PhotoReadiness> photos(points.size());
  std::vector<readiness::Finding> findings;
  std::uint32_t leftOut = 0;
  readiness::CoverageRaster raster;
  readiness::findCoverageGaps(grid, inside, points, footprints, {}, photos, findings, leftOut,
                              raster);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].value, 0);
  // The eight around the hole, and the ring beyond whose footprints reach
  // within a cell of its box.
  EXPECT_EQ(findings[0].photoCount, 24u);
  EXPECT_EQ(photos[0].views, 1);
  EXPECT_EQ(photos[6].views, 1);
}

TEST(CoverageGrid, AnLShapedSurveyHasNoGapInItsNotch) {
  // Three blocks of photos 20 m apart (80 % overlap both ways, 16 views or
  // more), 100 m footprints, in an L: the missing fourth block is no gap.
  std::vector<LocalPoint> points;
  for (int x = 0; x < 20; ++x) {
    for (int y = 0; y < 20; ++y) {
      if (x >= 10 && y >= 10) continue;
      points.push_back({20.0 * x, 20.0 * y});
    }
  }
  const readiness::Footprints footprints(points.size(), Footprint{100, 100, 0});
  const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
  const std::vector<std::uint8_t> inside = readiness::insideOfSurvey(grid, points, footprints);
  std::vector<readiness::PhotoReadiness> photos(points.size());
  std::vector<readiness::Finding> findings;
  std::uint32_t leftOut = 0;
  readiness::CoverageRaster raster;
  readiness::findCoverageGaps(grid, inside, points, footprints, {}, photos, findings, leftOut,
                              raster);
  EXPECT_TRUE(findings.empty());
}

TEST(CoverageGrid, OneLineHasNoInside) {
  const std::vector<LocalPoint> points = {{0, 0}, {0, 20}, {0, 40}};
  const readiness::Footprints footprints(3, Footprint{100, 100, 0});
  const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
  for (std::uint8_t cell : readiness::insideOfSurvey(grid, points, footprints)) EXPECT_EQ(cell, 0);
}

}  // namespace
