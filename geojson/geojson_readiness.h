// The readiness analyses in the GeoJSON report: the top-level `readiness`
// member and each feature's measures.
//
//   "readiness":{"verdict":"at risk","flights":1,"lines":4,
//     "photos_without_time":0,"photos_without_position":0,
//     "photos_without_height":0,"ground_altitude_m":null,
//     "thresholds":{"min_forward_overlap":0.7,...},
//     "findings":[{"kind":"oblique","cause":"horizon_in_view","risk":true,
//       "text":"...","value":-10,"flight":1,"line":null,"photo_count":1,
//       "paths":["DJI_0007.JPG"]}, ...],
//     "findings_left_out":0}
//
// Flights and lines count from 1, as the findings' texts do. Where the list
// of a finding's photos is cut, `paths_left_out` says how many are not
// listed; where PHOTOCHECK_GROUND_M was set to something else than a number,
// `ground_altitude_ignored` holds it.
#ifndef PHOTOCHECK_GEOJSON_GEOJSON_READINESS_H
#define PHOTOCHECK_GEOJSON_GEOJSON_READINESS_H

#include <cstddef>

#include "geojson/geojson_report.h"
#include "report/json_writer.h"

void writeReadinessMember(ReportJsonWriter& writer, const GeoJsonInput& input);

// The feature's flight, line, height_above_ground_m, gsd_cm,
// forward_overlap, side_overlap, views, pitch_deg, yaw_deg and smear_px,
// each null where unknown (all of them without readiness).
void writePhotoReadiness(ReportJsonWriter& writer, const GeoJsonInput& input, std::size_t index);

// The cause's name in the side files: "few_views", "forward_below"...
const char* causeName(readiness::FindingCause cause);

#endif  // PHOTOCHECK_GEOJSON_GEOJSON_READINESS_H
