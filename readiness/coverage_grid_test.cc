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
  // Four photos at the corners of a 400 m square, footprints 100 m across:
  // the inside is the square less 50 m on each side.
  const std::vector<LocalPoint> points = {{0, 0}, {400, 0}, {400, 400}, {0, 400}};
  const readiness::Footprints footprints(4, Footprint{100, 100, 0});
  const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
  const readiness::InsideSpans inside = readiness::insideOfSurvey(grid, points, footprints);
  std::uint32_t rows = 0;
  for (std::uint32_t r = 0; r < grid.rows; ++r) {
    if (inside.first[r] >= inside.last[r]) continue;
    ++rows;
    EXPECT_NEAR(grid.west + inside.first[r] * grid.cellM, 50, grid.cellM);
    EXPECT_NEAR(grid.west + inside.last[r] * grid.cellM, 350, grid.cellM);
  }
  EXPECT_NEAR(rows * grid.cellM, 300, grid.cellM);
  // The middle is seen by none: one gap, with all four photos about it.
  std::vector<readiness::PhotoReadiness> photos(4);
  std::vector<readiness::Finding> findings;
  std::uint32_t leftOut = 0;
  readiness::findCoverageGaps(grid, inside, points, footprints, photos, findings, leftOut);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].photos, (std::vector<std::uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(findings[0].value, 0);
  EXPECT_EQ(photos[0].views, 1);
}

TEST(CoverageGrid, OneLineHasNoInside) {
  const std::vector<LocalPoint> points = {{0, 0}, {0, 20}, {0, 40}};
  const readiness::Footprints footprints(3, Footprint{100, 100, 0});
  const readiness::CoverageGrid grid = readiness::countViews(points, footprints);
  const readiness::InsideSpans inside = readiness::insideOfSurvey(grid, points, footprints);
  for (std::uint32_t r = 0; r < grid.rows; ++r) EXPECT_EQ(inside.first[r], inside.last[r]);
}

}  // namespace
