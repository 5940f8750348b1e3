// Helpers for the end-to-end tests of the checks and the report: photos made
// with the JPEG builder, a settings file with the four switches, one run of
// the tool and the echo it starts with. What the checks print after that is
// spelled out by tests/support/expected_console.h.
#ifndef PHOTOCHECK_TESTS_E2E_PHOTO_SET_H
#define PHOTOCHECK_TESTS_E2E_PHOTO_SET_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/expected_console.h"
#include "tests/support/jpeg_builder.h"
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

// The settings runOn writes: six keys in the order the tool takes them,
// each with its value.
inline std::vector<std::pair<std::string, std::string>> settingsOf(const std::string& imageFolder,
                                                                   const std::string& outputFolder,
                                                                   const Switches& on) {
  auto value = [](bool isOn) { return std::string(isOn ? "true" : "false"); };
  return {{"a_focal", value(on.focalLength)}, {"b_gps", value(on.gps)},
          {"c_maker", value(on.cameraMaker)}, {"d_resolution", value(on.resolution)},
          {"e_images", imageFolder},          {"f_output", outputFolder}};
}

// A tool run over `imageFolder` writing into `outputFolder`, with the
// settings file in `root`.
struct PhotoRun {
  std::string settingsPath;
  ToolRun run;
  std::optional<std::string> report;  // error.json after the run, if any
};

inline PhotoRun runOn(const TempFolder& root, const std::string& imageFolder,
                      const std::string& outputFolder, const Switches& on = {}) {
  PhotoRun result;
  result.settingsPath = root / "photocheck.settings";
  std::string settings;
  for (const auto& [key, value] : settingsOf(imageFolder, outputFolder, on)) {
    settings += key + " = " + value + "\n";
  }
  writeFileBytes(result.settingsPath, settings);
  result.run = runTool(PHOTOCHECK_EXE, {result.settingsPath});
  result.report = readFileBytes(outputFolder + kSep + "error.json");
  return result;
}

// What the run flow prints before the first check: the settings path and the
// settings echo.
inline std::string runStart(const PhotoRun& r, const std::string& imageFolder,
                            const std::string& outputFolder, const Switches& on = {}) {
  std::string text = r.settingsPath + "\n";
  for (const auto& [key, value] : settingsOf(imageFolder, outputFolder, on)) {
    text += key + "=" + value + "\n";
  }
  return text;
}

}  // namespace e2e

#endif  // PHOTOCHECK_TESTS_E2E_PHOTO_SET_H
