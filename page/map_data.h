// The map's data: what the page's script draws on the map's canvas and shows
// of a dot that is clicked, as one JSON object in a data block
//   <script type=application/json id=mapdata>{...}</script>
// made by RapidJSON's writer, every '<' as \u003c so that no text can end
// the block:
//   "w", "h":   the drawing's size in map units (north up)
//   "bar":      the scale bar: [its length in map units, its label]
//   "origin":   [latitude, longitude, captured]: the first dot's position
//               in millionths of a degree and the earliest capture time as
//               the number YYYYMMDDhhmmss (0: none has one)
//   "colours":  the check colours, in check row order
//   "dots":     one [image, x, y, flags, path, latitude, longitude, captured]
//               per photo with a position, the passed ones first so that a
//               flagged dot is drawn over them: its place in the image list,
//               where it is drawn (map units), bit i set when check row i
//               flagged it, its path below the image folder (shown form),
//               its position in millionths of a degree less the origin's,
//               and its capture time's number less the origin's, plus 1 (0:
//               none). Counted from the origin, the numbers are short: the
//               data of 20,000 photos is a third smaller.
//               With readiness, each dot goes on with [flight, along,
//               across, yaw]: its flight (-1: none) and its footprint (see
//               writeFootprint; 0, 0, 0: none), then [line, height, GSD,
//               forward, side, views, pitch, smear] for its details (see
//               writeReadinessFacts; null: unknown, those at the end left
//               out).
//   "track":    the dots' places in "dots" in capture order, for the line;
//               with readiness, -1 between photos of different lines or
//               whose footprints do not meet (no line is drawn there: the
//               ground between is not covered)
//   "gaps":     with readiness, each coverage gap as the places in "dots"
//               of the photos around it
//   "cov":      with readiness and a views grid, the coverage raster drawn
//               under the footprints: [x, y, cell width, cell height,
//               columns, rows, cells]: the south-west corner and a cell in
//               map units, then per cell (row after row, the southern
//               first) a byte, its fewest views (at most 127) plus 128 in a
//               coverage gap's cell, all as base64 (at most 4096 cells:
//               5.4 KB whatever the survey)
//   "rw":       with readiness, the words (their numbers in the page's word
//               lists) of flight, line and the eight facts, for the details
//   "flightColours": with readiness, the flights' colours, taken in turn
#ifndef PHOTOCHECK_PAGE_MAP_DATA_H
#define PHOTOCHECK_PAGE_MAP_DATA_H

#include "page/map_layout.h"
#include "page/page_parts.h"

void appendMapData(PageOut& out, const PageData& data, const MapLayout& map);

#endif  // PHOTOCHECK_PAGE_MAP_DATA_H
