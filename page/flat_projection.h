// A local flat map of GPS positions: metres east and north of the set's
// centre. A survey set spans a few kilometres at most, where an
// equirectangular projection about the centre's latitude is off by far less
// than a dot's size; it needs no map data and no network.
#ifndef PHOTOCHECK_PAGE_FLAT_PROJECTION_H
#define PHOTOCHECK_PAGE_FLAT_PROJECTION_H

#include <vector>

struct GeoPosition {
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees, east positive
};

struct FlatPoint {
  double east = 0;   // metres
  double north = 0;  // metres
};

// Each position as metres east and north of the centre of the positions'
// bounding box. Longitudes are taken relative to the first position, so a set
// that straddles the 180th meridian stays one piece.
std::vector<FlatPoint> projectFlat(const std::vector<GeoPosition>& positions);

// The length of a map's scale bar for a map `extent` metres across: the
// largest 1, 2 or 5 times a power of ten that is at most a quarter of it
// (at least 1 metre).
double scaleBarMetres(double extent);

#endif  // PHOTOCHECK_PAGE_FLAT_PROJECTION_H
