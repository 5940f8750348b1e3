#include "geojson/geojson_readiness.h"

#include <cmath>
#include <string>

#include "readiness/thresholds.h"

namespace {

void writeText(ReportJsonWriter& writer, const std::string& text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

// A measure to a thousandth, which is more than any of them is known to:
// the writer gives the shortest text that reads back as the same double.
void writeRounded(ReportJsonWriter& writer, double value) {
  if (!std::isfinite(value)) {
    writer.Null();
    return;
  }
  writer.Double(std::round(value * 1000.0) / 1000.0);
}

void writeMaybe(ReportJsonWriter& writer, const char* key, readiness::MaybeFloat value) {
  writer.Key(key);
  if (value) {
    writeRounded(writer, *value);
  } else {
    writer.Null();
  }
}

// 0-based in the result, 1-based in the file.
template <typename Count>
void writeOrdinal(ReportJsonWriter& writer, const char* key, const Count& value) {
  writer.Key(key);
  if (value) {
    writer.Uint64(static_cast<std::uint64_t>(*value) + 1);
  } else {
    writer.Null();
  }
}

void writeThresholds(ReportJsonWriter& writer) {
  const std::pair<const char*, double> used[] = {
      {"min_forward_overlap", readiness::kMinForwardOverlap},
      {"min_side_overlap", readiness::kMinSideOverlap},
      {"min_views", readiness::kMinViews},
      {"max_gsd_spread", readiness::kMaxGsdSpread},
      {"max_pitch_off_median_deg", readiness::kMaxPitchOffMedianDeg},
      {"horizon_pitch_deg", readiness::kHorizonPitchDeg},
      {"max_nadir_tilt_deg", readiness::kMaxNadirTiltDeg},
      {"max_smear_px", readiness::kMaxSmearPixels},
      {"slow_shutter_s", readiness::kSlowShutterSeconds},
      {"flight_gap_s", readiness::kFlightGapSeconds},
      {"turn_deg", readiness::kTurnDeg},
      {"outlier_spacing_factor", readiness::kOutlierSpacingFactor},
      {"stationary_photos", readiness::kStationaryPhotos},
      {"stationary_radius_m", readiness::kStationaryRadiusM},
      {"hover_speed_mps", readiness::kHoverSpeedMps},
  };
  writer.Key("thresholds");
  writer.StartObject();
  for (const auto& [name, value] : used) {
    writer.Key(name);
    // Six places: the slow shutter's 1/80 s is 0.0125.
    writer.Double(std::round(value * 1e6) / 1e6);
  }
  writer.EndObject();
}

void writeFinding(ReportJsonWriter& writer, const GeoJsonInput& input,
                  const readiness::Finding& finding) {
  writer.StartObject();
  writer.Key("kind");
  writer.String(readiness::kindName(finding.kind));
  writer.Key("cause");
  writer.String(causeName(finding.cause));
  writer.Key("risk");
  writer.Bool(readiness::isRisk(finding.cause));
  writer.Key("text");
  writeText(writer, readiness::findingText(finding));
  writer.Key("value");
  if (finding.value) {
    writeRounded(writer, *finding.value);
  } else {
    writer.Null();
  }
  writeOrdinal(writer, "flight", finding.flight);
  writeOrdinal(writer, "line", finding.line);
  if (finding.otherLine) writeOrdinal(writer, "other_line", finding.otherLine);
  if (!finding.label.empty()) {
    writer.Key("label");
    writeText(writer, platform::utf8FromSystemText(finding.label));
  }
  writer.Key("photo_count");
  writer.Uint(finding.photoCount);
  writer.Key("paths");
  writer.StartArray();
  for (const std::uint32_t photo : finding.photos) {
    if (photo >= input.images->size()) continue;
    writeText(writer, platform::utf8PathBelow(input.imageFolder, (*input.images)[photo]));
  }
  writer.EndArray();
  if (finding.photoCount > finding.photos.size()) {
    writer.Key("paths_left_out");
    writer.Uint64(finding.photoCount - finding.photos.size());
  }
  if (finding.area) {
    // A coverage gap's box, as GeoJSON's bbox: west, south, east, north.
    writer.Key("bbox");
    writer.StartArray();
    for (const double degrees :
         {finding.area->west, finding.area->south, finding.area->east, finding.area->north}) {
      writer.Double(std::round(degrees * 1e7) / 1e7);
    }
    writer.EndArray();
  }
  writer.EndObject();
}

}  // namespace

const char* causeName(readiness::FindingCause cause) {
  using readiness::FindingCause;
  switch (cause) {
    case FindingCause::fewViews:
      return "few_views";
    case FindingCause::forwardBelow:
      return "forward_below";
    case FindingCause::sideBelow:
      return "side_below";
    case FindingCause::finestPhotos:
      return "finest_photos";
    case FindingCause::coarsestPhotos:
      return "coarsest_photos";
    case FindingCause::pitchOffMedian:
      return "pitch_off_median";
    case FindingCause::horizonInView:
      return "horizon_in_view";
    case FindingCause::smearAbovePixel:
      return "smear_above_pixel";
    case FindingCause::slowShutter:
      return "slow_shutter";
    case FindingCause::otherModel:
      return "other_model";
    case FindingCause::otherSerial:
      return "other_serial";
    case FindingCause::otherFocalLength:
      return "other_focal_length";
    case FindingCause::otherZoom:
      return "other_zoom";
    case FindingCause::zeroPosition:
      return "zero_position";
    case FindingCause::farFromNeighbours:
      return "far_from_neighbours";
    case FindingCause::missingAltitude:
      return "missing_altitude";
    case FindingCause::rtkMixed:
      return "rtk_mixed";
    case FindingCause::sameTimeAndPosition:
      return "same_time_and_position";
    case FindingCause::stationary:
      return "stationary";
    case FindingCause::flightGap:
      return "flight_gap";
    case FindingCause::otherDay:
      return "other_day";
  }
  return "";
}

void writeReadinessMember(ReportJsonWriter& writer, const GeoJsonInput& input) {
  if (input.readiness == nullptr) return;
  const readiness::ReadinessResult& result = *input.readiness;
  writer.Key("readiness");
  writer.StartObject();
  writer.Key("verdict");
  writer.String(readiness::verdictText(result.verdict, result.noFootprint));
  writer.Key("flights");
  writer.Uint(result.flightCount);
  writer.Key("lines");
  writer.Uint(result.lineCount);
  writer.Key("photos_without_time");
  writer.Uint(result.photosWithoutTime);
  writer.Key("photos_without_position");
  writer.Uint(result.photosWithoutPosition);
  writer.Key("photos_without_height");
  writer.Uint(result.photosWithoutHeight);
  writer.Key("ground_altitude_m");
  if (input.groundM) {
    writer.Double(*input.groundM);
  } else {
    writer.Null();
  }
  if (!input.groundIgnored.empty()) {
    writer.Key("ground_altitude_ignored");
    writeText(writer, input.groundIgnored);
  }
  writer.Key("grid_cell_m");
  writeRounded(writer, result.gridCellM);
  writeThresholds(writer);
  writer.Key("findings");
  writer.StartArray();
  for (const readiness::Finding& finding : result.findings) writeFinding(writer, input, finding);
  writer.EndArray();
  writer.Key("findings_left_out");
  writer.Uint(result.findingsLeftOut);
  writer.EndObject();
}

void writePhotoReadiness(ReportJsonWriter& writer, const GeoJsonInput& input, std::size_t index) {
  static const readiness::PhotoReadiness kUnknown;
  const readiness::PhotoReadiness& photo =
      input.readiness != nullptr && index < input.readiness->photos.size()
          ? input.readiness->photos[index]
          : kUnknown;
  writeOrdinal(writer, "flight", photo.flight);
  writeOrdinal(writer, "line", photo.line);
  writeMaybe(writer, "height_above_ground_m", photo.heightAboveGroundM);
  writeMaybe(writer, "gsd_cm", photo.gsdCm);
  writeMaybe(writer, "forward_overlap", photo.forwardOverlap);
  writeMaybe(writer, "side_overlap", photo.sideOverlap);
  writer.Key("views");
  if (photo.views) {
    writer.Uint(*photo.views);
  } else {
    writer.Null();
  }
  writeMaybe(writer, "pitch_deg", photo.pitchDeg);
  writeMaybe(writer, "yaw_deg", photo.yawDeg);
  writeMaybe(writer, "smear_px", photo.smearPx);
}
