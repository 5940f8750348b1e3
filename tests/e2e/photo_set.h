// Helpers for the end-to-end tests of the checks and the report: photos made
// with the test JPEG builder, a settings file with the four switches, one run
// of the tool, and the console texts a run is expected to print.
#ifndef PHOTOCHECK_TESTS_E2E_PHOTO_SET_H
#define PHOTOCHECK_TESTS_E2E_PHOTO_SET_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/support/jpeg_builder.h"
#include "tests/support/platform_text.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace e2e {

// A GPS position as the GPS directory stores it: whole degrees, minutes and
// seconds, reference letters, altitude in metres.
struct Gps {
  std::uint32_t latitude = 30, latitudeMinutes = 15, latitudeSeconds = 36;
  char latitudeRef = 'N';
  std::uint32_t longitude = 120, longitudeMinutes = 10, longitudeSeconds = 0;
  char longitudeRef = 'E';
  std::uint32_t altitude = 15;
};

// What one test photo carries. The defaults make a photo every check passes.
struct Photo {
  std::uint32_t width = 4000;
  std::uint32_t height = 3000;
  std::optional<std::string> make = std::string("Canon");
  std::optional<std::uint16_t> focalLength35mm = std::uint16_t{24};
  std::optional<Gps> gps = Gps{};
};

inline testsupport::Bytes jpegOf(const Photo& photo, bool intel = true) {
  using testsupport::Ifd;
  testsupport::ExifBuilder exif(intel);
  if (photo.make) exif.addAscii(Ifd::ifd0, 0x010F, *photo.make);  // Make
  exif.addLongs(Ifd::exif, 0xA002, {photo.width});                // PixelXDimension
  exif.addLongs(Ifd::exif, 0xA003, {photo.height});               // PixelYDimension
  if (photo.focalLength35mm) {
    exif.addShorts(Ifd::exif, 0xA405, {*photo.focalLength35mm});  // FocalLengthIn35mmFilm
  }
  if (photo.gps) {
    const Gps& g = *photo.gps;
    exif.addGpsRef(1, g.latitudeRef)
        .addGpsCoordinate(Ifd::gps, 2, g.latitude, g.latitudeMinutes, g.latitudeSeconds)
        .addGpsRef(3, g.longitudeRef)
        .addGpsCoordinate(Ifd::gps, 4, g.longitude, g.longitudeMinutes, g.longitudeSeconds)
        .addGpsAltitude(g.altitude, 1, 0);
  }
  return testsupport::JpegBuilder().exif(exif.segment()).build();
}

inline void writePhoto(const std::string& path, const Photo& photo) {
  writeFileBytes(path, jpegOf(photo));
}

struct Switches {
  bool resolution = true;
  bool cameraMaker = true;
  bool focalLength = true;
  bool gps = true;
};

// A tool run over `imageFolder` writing into `outputFolder`, with the
// settings file in `root`.
struct PhotoRun {
  std::string settingsPath;
  ToolRun run;
  std::optional<std::string> report;  // error.json after the run, if any
};

inline PhotoRun runOn(const TempFolder& root, const std::string& imageFolder,
                      const std::string& outputFolder, const Switches& on = {}) {
  auto value = [](bool isOn) { return std::string(isOn ? "true" : "false"); };
  PhotoRun result;
  result.settingsPath = root / "photocheck.settings";
  writeFileBytes(result.settingsPath,
                 "a_focal = " + value(on.focalLength) + "\nb_gps = " + value(on.gps) +
                     "\nc_maker = " + value(on.cameraMaker) +
                     "\nd_resolution = " + value(on.resolution) + "\ne_images = " + imageFolder +
                     "\nf_output = " + outputFolder + "\n");
  result.run = runTool(PHOTOCHECK_EXE, {result.settingsPath});
  result.report = readFileBytes(outputFolder + kSep + "error.json");
  return result;
}

// What the run flow prints before the first check: the settings path and the
// settings echo.
inline std::string runStart(const PhotoRun& r, const std::string& imageFolder,
                            const std::string& outputFolder, const Switches& on = {}) {
  auto value = [](bool isOn) { return std::string(isOn ? "true" : "false"); };
  return r.settingsPath + "\na_focal=" + value(on.focalLength) + "\nb_gps=" + value(on.gps) +
         "\nc_maker=" + value(on.cameraMaker) + "\nd_resolution=" + value(on.resolution) +
         "\ne_images=" + imageFolder + "\nf_output=" + outputFolder + "\n";
}

// A check's start line, its image count line and one header line per image.
inline std::string checkStart(const char* startLine, const char* header, std::size_t images) {
  std::string text =
      std::string(startLine) + "\n\n" + texts::kImageCount + std::to_string(images) + "\n";
  for (std::size_t i = 1; i <= images; ++i) text += header + std::to_string(i) + "\n";
  return text;
}

// A group's key line, its count line and an empty line.
inline std::string listing(const std::string& key, std::size_t count) {
  return key + "\n" + std::to_string(count) + "\n\n";
}

// The report of one group: its count, then each image's number and name.
inline std::string groupReport(const std::vector<std::string>& names) {
  std::string text = texts::kGroupErrorCount + std::to_string(names.size()) + "\n";
  for (std::size_t n = 0; n < names.size(); ++n) {
    text += texts::kErrorImageNumber + std::to_string(n + 1) + "\n" + texts::kErrorImageName +
            names[n] + "\n";
  }
  return text;
}

// The last console line of `out`, without its line end.
inline std::string lastLine(const std::string& out) {
  std::string text = out;
  if (text.size() >= kLineEnd.size() &&
      text.compare(text.size() - kLineEnd.size(), kLineEnd.size(), kLineEnd) == 0) {
    text.resize(text.size() - kLineEnd.size());
  }
  const std::size_t end = text.rfind(kLineEnd);
  return end == std::string::npos ? text : text.substr(end + kLineEnd.size());
}

// One group of error.json, names written as given (already escaped).
inline std::string jsonGroup(int code, const char* description,
                             const std::vector<std::string>& names) {
  std::string images;
  for (const std::string& name : names) images += (images.empty() ? "\"" : ",\"") + name + "\"";
  return "{\"errcode\":" + std::to_string(code) + ",\"error_des\":\"" + description +
         "\",\"images\":[" + images + "]}";
}

inline std::string jsonReport(const std::vector<std::string>& groups) {
  std::string joined;
  for (const std::string& group : groups) joined += (joined.empty() ? "" : ",") + group;
  return "{\"errors\":[" + joined + "]}";
}

}  // namespace e2e

#endif  // PHOTOCHECK_TESTS_E2E_PHOTO_SET_H
