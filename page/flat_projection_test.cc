#include "page/flat_projection.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(FlatProjection, GivesMetresEastAndNorthOfTheCentre) {
  // Two photos 0.01 degrees apart north-south, two 0.01 degrees east-west, at
  // latitude 60 (where a degree east is half a degree north).
  const std::vector<FlatPoint> points =
      projectFlat({{60.00, 10.00}, {60.01, 10.00}, {60.005, 10.01}, {60.005, 9.99}});
  ASSERT_EQ(points.size(), 4u);
  const double degreeNorth = 6371008.8 * 3.14159265358979323846 / 180 / 100;  // 0.01 degree
  EXPECT_NEAR(points[0].north, -degreeNorth / 2, 0.01);
  EXPECT_NEAR(points[1].north, degreeNorth / 2, 0.01);
  EXPECT_NEAR(points[0].east, 0, 0.01);
  EXPECT_NEAR(points[2].east, degreeNorth / 2, 1.0);  // cos(60.005 degrees) ~ 1/2
  EXPECT_NEAR(points[3].east, -points[2].east, 0.01);
  EXPECT_NEAR(points[2].north, 0, 0.01);
}

TEST(FlatProjection, KeepsASetAcrossThe180thMeridianInOnePiece) {
  const std::vector<FlatPoint> points = projectFlat({{0, 179.9995}, {0, -179.9995}});
  ASSERT_EQ(points.size(), 2u);
  EXPECT_NEAR(points[1].east - points[0].east, 111.2, 0.1);  // 0.001 degree at the equator
  EXPECT_NEAR(points[0].east, -points[1].east, 0.001);
}

TEST(FlatProjection, NothingInNothingOut) {
  EXPECT_TRUE(projectFlat({}).empty());
  const std::vector<FlatPoint> one = projectFlat({{30.26, 120.1}});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].east, 0);
  EXPECT_EQ(one[0].north, 0);
}

TEST(FlatProjection, ScaleBarIsARoundQuarterOfTheMap) {
  const struct {
    double extent;
    double wanted;
  } cases[] = {{0, 1},      {3, 1},      {10, 2},      {20, 5},       {40, 10},      {900, 200},
               {1000, 200}, {2100, 500}, {4000, 1000}, {39999, 5000}, {40000, 10000}};
  for (const auto& c : cases) EXPECT_EQ(scaleBarMetres(c.extent), c.wanted) << c.extent;
}

}  // namespace
