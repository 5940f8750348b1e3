#include "geojson/geojson_report.h"

#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <cstdint>

#include "checks/value_texts.h"
#include "geojson/geojson_readiness.h"
#include "report/json_writer.h"

namespace {

// The checks as the report names them, in check row order.
constexpr std::array<const char*, kCheckCount> kCheckNames = {"resolution", "camera_maker",
                                                              "focal_length", "gps"};
// Their booleans: "flag_" and the name.
constexpr std::array<const char*, kCheckCount> kFlagNames = {"flag_resolution", "flag_camera_maker",
                                                             "flag_focal_length", "flag_gps"};

// The text is handed on once it holds this much (and at the end).
constexpr std::size_t kPieceBytes = 64 * 1024;

void writeText(ReportJsonWriter& writer, const std::string& text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

// Two decimal digits of `value` (0-99), then `after` unless it is zero.
void appendTwoDigits(std::string& text, unsigned value, char after) {
  text += static_cast<char>('0' + value / 10 % 10);
  text += static_cast<char>('0' + value % 10);
  if (after != '\0') text += after;
}

// ISO 8601 without a zone ("2024-05-17T10:42:07"), made by hand: the C
// runtime's locale is the user's.
std::string isoTimeOf(const CaptureTime& time) {
  std::string text;
  appendTwoDigits(text, time.year / 100u, '\0');
  appendTwoDigits(text, time.year % 100u, '-');
  appendTwoDigits(text, time.month, '-');
  appendTwoDigits(text, time.day, 'T');
  appendTwoDigits(text, time.hour, ':');
  appendTwoDigits(text, time.minute, ':');
  appendTwoDigits(text, time.second, '\0');
  return text;
}

// The capture time with its sub-seconds (to the millisecond, trailing zeros
// dropped) and its offset ("+08:00") where the photo has them.
std::string capturedTextOf(const CaptureTime& time, const FlightFacts& flight) {
  std::string text = isoTimeOf(time);
  if (flight.subseconds == flight.subseconds) {
    // SubSecTimeOriginal's digits are below one second; 0.9996 is kept as
    // .999, not carried into the next second.
    const auto millis = std::min(999u, static_cast<unsigned>(flight.subseconds * 1000.0f + 0.5f));
    std::string digits = {static_cast<char>('0' + millis / 100),
                          static_cast<char>('0' + millis / 10 % 10),
                          static_cast<char>('0' + millis % 10)};
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    text += '.';
    text += digits;
  }
  if (flight.hasOffset) {
    const int minutes = flight.offsetMinutes;
    const unsigned whole = static_cast<unsigned>(minutes < 0 ? -minutes : minutes);
    text += minutes < 0 ? '-' : '+';
    appendTwoDigits(text, whole / 60, ':');
    appendTwoDigits(text, whole % 60, '\0');
  }
  return text;
}

// Why a photo is filed under "error" or skipped; empty for one in order.
std::string reasonOf(const ImageFacts& facts) {
  switch (problemOf(facts)) {
    case ImageProblem::none:
      return std::string();
    case ImageProblem::missing:
      return "missing";
    case ImageProblem::notRegularFile:
      return "not a regular file";
    case ImageProblem::cannotRead:
      if (facts.systemError == 0) return "cannot be read: the file ends early";
      return "cannot be read: " +
             platform::utf8FromSystemText(platform::systemErrorText(facts.systemError));
    case ImageProblem::notJpeg:
      return "not a JPEG";
    case ImageProblem::noExif:
      return "no EXIF block";
    case ImageProblem::exifDamaged:
      return "EXIF block damaged";
  }
  return std::string();
}

void writeTopMembers(ReportJsonWriter& writer, const GeoJsonInput& input, std::size_t count) {
  writer.Key("type");
  writer.String("FeatureCollection");
  writer.Key("verdict");
  writer.String(input.status == 0 ? "passed" : "failed");
  writer.Key("exit_status");
  writer.Int(input.status);
  writer.Key("image_count");
  writer.Uint64(count);
  writer.Key("settings");
  writer.StartObject();
  for (const auto& [meaning, value] : input.settings) {
    writer.Key(meaning.c_str());
    writeText(writer, platform::utf8FromSystemText(value));
  }
  writer.EndObject();
  writer.Key("tool_version");
  writeText(writer, input.version);
  // What names the run, for a pipeline that must tell this run's report
  // from one an earlier run left at the path.
  const std::pair<const char*, const std::string*> names[] = {
      {"run_id", &input.runId}, {"run_time", &input.runTime}, {"image_folder", &input.folderShown}};
  for (const auto& [key, text] : names) {
    if (text->empty()) continue;
    writer.Key(key);
    writeText(writer, *text);
  }
}

void writeGeometry(ReportJsonWriter& writer, const ImageFacts* facts) {
  writer.Key("geometry");
  // The position the GPS check uses, of a photo that was read and decoded.
  if (facts == nullptr || facts->read != ImageRead::decoded || isErrorImage(*facts) ||
      !hasGpsPosition(*facts)) {
    writer.Null();
    return;
  }
  writer.StartObject();
  writer.Key("type");
  writer.String("Point");
  writer.Key("coordinates");
  writer.StartArray();
  // Two positions only: a third would be read as height above the
  // ellipsoid (RFC 7946 3.1.1), which the GPS altitude, above sea level, is
  // not; it is the property gps_altitude_m.
  writer.Double(facts->longitude);
  writer.Double(facts->latitude);
  writer.EndArray();
  writer.EndObject();
}

// Each check's value as the check saw it: null where it did not run or the
// photo has none (filed under "error", or missing).
void writeValues(ReportJsonWriter& writer, const GeoJsonInput& input, const ImageFacts* facts) {
  const bool inOrder = facts != nullptr && problemOf(*facts) == ImageProblem::none;
  const auto ran = [&](std::size_t row, const char* key) {
    writer.Key(key);
    if (!inOrder || !input.ran[row]) writer.Null();
    return inOrder && input.ran[row];
  };
  // The resolution check's "%d*%d": a stored size of 2^31 or more is negative.
  if (ran(0, "width")) writer.Int(static_cast<std::int32_t>(facts->imageWidth));
  if (ran(0, "height")) writer.Int(static_cast<std::int32_t>(facts->imageHeight));
  if (ran(1, "camera_maker")) writeText(writer, platform::utf8FromSystemText(facts->make));
  // 0 is what the reader gives for a photo without the tag, and what EXIF
  // writes for an unknown one: the check finds no value in either.
  if (ran(2, "focal_length_35mm")) {
    if (facts->focalLength35mm == 0) {
      writer.Null();
    } else {
      writer.Uint(facts->focalLength35mm);
    }
  }
  if (ran(3, "has_gps")) writer.Bool(hasGpsPosition(*facts));
  writer.Key("gps_altitude_m");
  if (inOrder && facts->hasAltitude) {
    writer.Double(facts->altitude);
  } else {
    writer.Null();
  }
}

// One boolean per check beside the "flagged" list, which GeoPackage and
// CSV cannot hold as a list: null where the check did not run.
void writeFlags(ReportJsonWriter& writer, const GeoJsonInput& input, const ImageFacts* facts) {
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    writer.Key(kFlagNames[c]);
    if (!input.ran[c]) {
      writer.Null();
    } else {
      writer.Bool(facts != nullptr && (facts->flaggedBy & (1u << c)) != 0);
    }
  }
}

// A feature's "flagged" and "path" members stand on a line of their own,
// in that order ("flagged":["gps"],"path":"b/DJI_0006.JPG"), so a batch file
// can act on single photos with `for /f` alone (docs/usage.md). The line
// breaks are JSON whitespace put between the writer's tokens; a name can
// hold no raw line break, as the writer escapes control characters.
void writeFeature(ReportJsonWriter& writer, rapidjson::StringBuffer& buffer,
                  const GeoJsonInput& input, std::size_t index) {
  const platform::FilePath image = (*input.images)[index];
  const ImageFacts* facts =
      input.facts != nullptr && index < input.facts->size() ? &(*input.facts)[index] : nullptr;
  writer.StartObject();
  writer.Key("type");
  writer.String("Feature");
  writeGeometry(writer, facts);
  writer.Key("properties");
  writer.StartObject();
  buffer.Put('\n');
  writer.Key("flagged");
  writer.StartArray();
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (facts != nullptr && (facts->flaggedBy & (1u << c)) != 0) writer.String(kCheckNames[c]);
  }
  writer.EndArray();
  writer.Key("path");
  writeText(writer, platform::utf8PathBelow(input.imageFolder, image));
  buffer.Put('\n');
  writer.Key("index");
  writer.Uint64(index);
  writeFlags(writer, input, facts);
  writeValues(writer, input, facts);
  writer.Key("reason");
  const std::string reason = facts != nullptr ? reasonOf(*facts) : std::string();
  if (reason.empty()) {
    writer.Null();
  } else {
    writeText(writer, reason);
  }
  writer.Key("captured");
  if (facts != nullptr && facts->captured.year != 0) {
    writeText(writer, capturedTextOf(facts->captured, facts->flight));
  } else {
    writer.Null();
  }
  writePhotoReadiness(writer, input, index);
  writer.EndObject();
  writer.EndObject();
}

// Hands what the buffer holds to `write` and empties it.
bool handOn(rapidjson::StringBuffer& buffer, const platform::TextPieceWriter& write) {
  const bool written = write(std::string_view(buffer.GetString(), buffer.GetSize()));
  buffer.Clear();
  return written;
}

}  // namespace

bool writeGeoJson(const GeoJsonInput& input, const platform::TextPieceWriter& write) {
  static const platform::PathList kNoImages;
  GeoJsonInput all = input;
  if (all.images == nullptr) all.images = &kNoImages;
  rapidjson::StringBuffer buffer;
  ReportJsonWriter writer(buffer, true);
  writer.StartObject();
  writeTopMembers(writer, all, all.images->size());
  writeReadinessMember(writer, all);
  writer.Key("features");
  writer.StartArray();
  for (std::size_t index = 0; index < all.images->size(); ++index) {
    writeFeature(writer, buffer, all, index);
    if (buffer.GetSize() >= kPieceBytes && !handOn(buffer, write)) return false;
  }
  writer.EndArray();
  writer.EndObject();
  buffer.Put('\n');
  return handOn(buffer, write);
}

bool writeGeoJsonFile(const std::string& path, const platform::SideFileRules& rules,
                      const GeoJsonInput& input) {
  return platform::writeSideFile(path, rules, [&input](const platform::TextPieceWriter& write) {
    return writeGeoJson(input, write);
  });
}
