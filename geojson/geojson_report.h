// The GeoJSON report PHOTOCHECK_GEOJSON asks for: one FeatureCollection
// (RFC 7946, UTF-8) with a Feature per listed file, in list order, for a
// pipeline or a GIS to act on single photos.
//
//   {"type":"FeatureCollection",
//    "verdict":"failed","exit_status":1,"image_count":3,       foreign members
//    "settings":{"image folder":"...",...},"tool_version":"1.2.0",
//    "run_id":"3f0c9a1be27d4c55","run_time":"2026-12-10T18:02:03+08:00",
//    "image_folder":"/home/survey/card1",
//    "features":[
//     {"type":"Feature",
//      "geometry":{"type":"Point","coordinates":[lon,lat]} | null,
//      "properties":{
//        "flagged":["gps"],"path":"a/DJI_0006.JPG",              one line
//        "index":0,"flag_resolution":false,"flag_camera_maker":false,
//        "flag_focal_length":false,"flag_gps":true,
//        "width":4000,"height":3000,"camera_maker":"DJI",
//        "focal_length_35mm":24,"has_gps":true,"gps_altitude_m":88.5,
//        "reason":null,"captured":"2024-05-17T10:42:07.27+08:00",
//        "flight":1,"line":2,"height_above_ground_m":99.8,...}}, ...]}
//
// The `readiness` member (after image_folder) and each feature's readiness
// measures are described in geojson/geojson_readiness.h. `captured` carries
// the sub-seconds and the offset where the photo has them.
//
// A check's value and its flag_ boolean are null where the check did not
// run; the value is null too where the photo is filed under "error" or has
// none (focal_length_35mm of 0, gps_altitude_m without an altitude);
// `reason` says why for those (and "missing" for a photo gone since the
// scan). Names are UTF-8 as the file system holds them; on POSIX a byte
// that is not UTF-8 is the escape \uDC80-\uDCFF.
#ifndef PHOTOCHECK_GEOJSON_GEOJSON_REPORT_H
#define PHOTOCHECK_GEOJSON_GEOJSON_REPORT_H

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "checks/check_table.h"
#include "platform/path_list.h"
#include "platform/platform.h"
#include "readiness/readiness_result.h"
#include "reading/image_facts.h"

struct GeoJsonInput {
  int status = 0;  // the run's exit status
  // The settings used, as (meaning, value) in the system's text encoding.
  std::vector<std::pair<std::string, std::string>> settings;
  std::string version;  // the tool's version text
  // What names the run: its id, its time (ISO 8601 with offset) and the
  // image folder's full path (UTF-8); each left out where empty.
  std::string runId;
  std::string runTime;
  std::string folderShown;
  platform::FilePath imageFolder;
  const platform::PathList* images = nullptr;
  // What was read of each image; empty when no check ran.
  const std::vector<ImageFacts>* facts = nullptr;
  std::array<bool, kCheckCount> ran{};  // per check row
  // The readiness analyses of the facts (one photo each); null: no
  // `readiness` member, and every feature's measures null.
  const readiness::ReadinessResult* readiness = nullptr;
  // The ground height they were given (PHOTOCHECK_GROUND_M), and the text
  // it was set to where that is no number (UTF-8).
  std::optional<double> groundM;
  std::string groundIgnored;
};

// Writes the report to `write` piece by piece (a piece of at most about
// 64 KiB at a time, so the whole text is never held). False when a piece
// could not be written. May throw std::bad_alloc.
bool writeGeoJson(const GeoJsonInput& input, const platform::TextPieceWriter& write);

// Replaces the file at `path` by the report where its path passes `rules`,
// as the page is written. False when it was refused or could not be
// written; may throw std::bad_alloc.
bool writeGeoJsonFile(const std::string& path, const platform::SideFileRules& rules,
                      const GeoJsonInput& input);

#endif  // PHOTOCHECK_GEOJSON_GEOJSON_REPORT_H
