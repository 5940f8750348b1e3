// The readiness analyses in a real run: a small lawnmower flight made as
// photos (EXIF and the drone maker's XMP block), its GeoJSON report read by
// Python's json and GDAL's ogrinfo, the console, error.json and status as
// without the side file; and the real drone photos of the corpus.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/photo_set.h"
#include "tests/support/corpus_truth.h"
#include "tests/support/count_of.h"
#include "tests/support/run_tool.h"
#include "tests/support/survey_builder.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Ifd;

// A coordinate as degrees, minutes and seconds to a ten-thousandth.
std::vector<testsupport::Fraction> dmsOf(double degrees) {
  degrees = std::fabs(degrees);
  const auto whole = static_cast<std::uint32_t>(degrees);
  const double minutesAll = (degrees - whole) * 60;
  const auto minutes = static_cast<std::uint32_t>(minutesAll);
  const auto seconds = static_cast<std::uint32_t>(std::lround((minutesAll - minutes) * 60 * 10000));
  return {{whole, 1}, {minutes, 1}, {seconds, 10000}};
}

std::string exifTimeOf(double seconds) {
  const auto whole = static_cast<std::time_t>(seconds);
  std::tm parts{};
  ::gmtime_r(&whole, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &parts);
  return text;
}

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f", value);
  return text;
}

// The photo as a DJI drone writes it: EXIF with sub-seconds "50" and the
// offset +01:00, and the XMP packet with the drone-dji fields (in both the
// attribute and the element form, under the prefix "dji").
testsupport::Bytes droneJpegOf(const readiness::SurveyPhoto& p) {
  testsupport::ExifBuilder exif;
  exif.addAscii(Ifd::ifd0, 0x010F, "DJI")
      .addAscii(Ifd::ifd0, 0x0110, std::string(p.model))
      .addRationals(Ifd::exif, 0x829A,
                    {{1, static_cast<std::uint32_t>(std::lround(1 / p.exposureSeconds))}})
      .addAscii(Ifd::exif, 0x9003, exifTimeOf(p.captureSeconds))
      .addAscii(Ifd::exif, 0x9011, "+01:00")
      .addAscii(Ifd::exif, 0x9291, "50")
      .addLongs(Ifd::exif, 0xA002, {p.width})
      .addLongs(Ifd::exif, 0xA003, {p.height})
      .addShorts(Ifd::exif, 0xA405, {static_cast<std::uint16_t>(p.focalLength35mm)})
      .addAscii(Ifd::exif, 0xA431, std::string(p.serial))
      .addGpsRef(1, p.latitude < 0 ? 'S' : 'N')
      .addRationals(Ifd::gps, 2, dmsOf(p.latitude))
      .addGpsRef(3, p.longitude < 0 ? 'W' : 'E')
      .addRationals(Ifd::gps, 4, dmsOf(p.longitude))
      .addGpsAltitude(static_cast<std::uint32_t>(std::lround(p.gpsAltitudeM * 10)), 10, 0);
  const std::string xml =
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
      "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
      "xmlns:dji=\"http://www.dji.com/drone-dji/1.0/\" dji:RelativeAltitude=\"" +
      numberText(p.relativeAltitudeM) + "\" dji:GimbalPitchDegree=\"" +
      numberText(p.gimbalPitchDeg) + "\" dji:GimbalYawDegree=\"" + numberText(p.gimbalYawDeg) +
      "\" dji:FlightYawDegree=\"" + numberText(p.flightYawDeg) + "\" dji:RtkFlag=\"50\">" +
      "<dji:FlightXSpeed>" + numberText(p.speedXMps) + "</dji:FlightXSpeed><dji:FlightYSpeed>" +
      numberText(p.speedYMps) + "</dji:FlightYSpeed><dji:FlightZSpeed>" + numberText(p.speedZMps) +
      "</dji:FlightZSpeed></rdf:Description></rdf:RDF></x:xmpmeta>";
  return testsupport::JpegBuilder()
      .exif(exif.segment())
      .segmentAfter(0xE1, testsupport::xmpPayload(xml))
      .build();
}

// A 4 x 5 lawnmower at 100 m; its eighth photo (DJI_0007) shot at -40
// degrees, and its fourth (DJI_0003) copied.
void writeFlight(const std::string& images) {
  survey::Plan plan;
  plan.lines = 4;
  plan.photosPerLine = 5;
  std::vector<readiness::SurveyPhoto> photos = survey::lawnmower(plan);
  photos[7].gimbalPitchDeg = -40;
  for (readiness::SurveyPhoto& p : photos) {
    p.model = "FC6310";
    p.serial = "0K1234";
  }
  for (std::size_t i = 0; i < photos.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/DJI_%04zu.JPG", i);
    writeFileBytes(images + name, droneJpegOf(photos[i]));
  }
  writeFileBytes(images + "/DJI_0003_copy.JPG", droneJpegOf(photos[3]));
}

struct Runs {
  e2e::PhotoRun plain;
  e2e::PhotoRun withReport;
  std::string path;
};

Runs runBoth(const TempFolder& root, const std::string& images, const std::string& output,
             const char* ground = nullptr) {
  ::unsetenv("PHOTOCHECK_GEOJSON");
  ::unsetenv("PHOTOCHECK_HTML");
  ::unsetenv("PHOTOCHECK_GROUND_M");
  Runs r;
  r.plain = e2e::runOn(root, images, output);
  r.path = root / "flight.geojson";
  ::setenv("PHOTOCHECK_GEOJSON", r.path.c_str(), 1);
  if (ground != nullptr) ::setenv("PHOTOCHECK_GROUND_M", ground, 1);
  r.withReport = e2e::runOn(root, images, output);
  ::unsetenv("PHOTOCHECK_GEOJSON");
  ::unsetenv("PHOTOCHECK_GROUND_M");
  return r;
}

std::optional<ToolRun> runInstalled(const std::string& tool, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), tool);
  ToolRun run = runTool("/usr/bin/env", arguments);
  if (run.status == 127) return std::nullopt;
  return run;
}

// The verdict, each finding's kind, cause and paths, and per photo a line of
// its measures.
constexpr char kReadBack[] = R"(
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    report = json.load(f)
r = report["readiness"]
print("verdict", r["verdict"], r["flights"], r["lines"], r["ground_altitude_m"])
print("thresholds", r["thresholds"]["min_forward_overlap"], r["thresholds"]["min_side_overlap"],
      r["thresholds"]["min_views"], r["thresholds"]["max_gsd_spread"], r["thresholds"]["max_smear_px"])
for f in r["findings"]:
    assert f["text"] and f["photo_count"] >= len(f["paths"])
    print("finding", f["kind"], f["cause"], ",".join(f["paths"]))
for feature in report["features"]:
    p = feature["properties"]
    def n(key, digits):
        v = p[key]
        return "None" if v is None else ("%." + str(digits) + "f") % v
    print("photo", p["path"], p["captured"], p["flight"], p["line"], n("height_above_ground_m", 1),
          n("gsd_cm", 2), n("pitch_deg", 0), p["views"] is not None, n("smear_px", 2),
          p["forward_overlap"] is not None)
)";

TEST(Readiness, LawnmowerFlightThroughPythonAndGdal) {
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "out";
  writeFlight(images);
  const Runs r = runBoth(root, images, output);
  // The side file changes nothing of the run.
  EXPECT_EQ(r.withReport.run.out, r.plain.run.out);
  EXPECT_EQ(r.withReport.run.err, r.plain.run.err);
  EXPECT_EQ(r.withReport.run.status, r.plain.run.status);
  EXPECT_EQ(r.withReport.report, r.plain.report);
  EXPECT_EQ(r.plain.run.status, 0);
  ASSERT_TRUE(readFileBytes(r.path).has_value());

  const std::optional<ToolRun> python = runInstalled("python3", {"-c", kReadBack, r.path});
  if (!python) {
    std::cout << "[   SKIP   ] python3 is not installed: the report is not read back\n";
  } else {
    ASSERT_EQ(python->status, 0) << python->err;
    const std::string& out = python->out;
    EXPECT_NE(out.find("verdict at risk 1 4 None\n"), std::string::npos) << out;
    EXPECT_NE(out.find("thresholds 0.7 0.6 5.0 2.0 1.0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("finding oblique pitch_off_median DJI_0007.JPG\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("finding duplicate same_time_and_position DJI_0003.JPG,DJI_0003_copy.JPG\n"),
              std::string::npos)
        << out;
    // Sub-seconds and offset as written; first line; 100 m up at 3.61 cm.
    EXPECT_NE(out.find("photo DJI_0000.JPG 2023-11-14T08:00:00.5+01:00 1 1 100.0 3.61 -90 True "
                       "0.30 True\n"),
              std::string::npos)
        << out;
    // Too far off nadir for a footprint: a height, but no GSD, no views, no
    // overlap, no smear.
    EXPECT_NE(out.find("photo DJI_0007.JPG 2023-11-14T08:00:24.5+01:00 1 2 100.0 None -40 False "
                       "None False\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(countOf(out, "\nphoto "), 21u) << out;
  }

  const std::optional<ToolRun> gdal = runInstalled("ogrinfo", {"-ro", "-al", r.path});
  if (!gdal) {
    GTEST_SKIP() << "GDAL's ogrinfo is not installed (Debian: gdal-bin)";
  }
  ASSERT_EQ(gdal->status, 0) << gdal->err;
  EXPECT_NE(gdal->out.find("Feature Count: 21"), std::string::npos) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "height_above_ground_m (Real) = 100"), 21u) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "gsd_cm (Real) = (null)"), 1u) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "line (Integer) = 4"), 5u) << gdal->out;
}

// A hole through three lines of a lawnmower flown at 37 degrees: the
// GeoJSON's coverage gap holds the hole's middle in its bbox and names only
// photos about it, and the page's map data carries the coverage raster with
// the gap's cells marked.
constexpr char kGapBack[] = R"(
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    report = json.load(f)
lat, lon = float(sys.argv[2]), float(sys.argv[3])
for f in report["readiness"]["findings"]:
    if f["kind"] == "coverage_gap":
        w, s, e, n = f["bbox"]
        print("gap", w <= lon <= e and s <= lat <= n, (e - w) < 0.01 and (n - s) < 0.01,
              len(f["paths"]))
)";

TEST(Readiness, AHoleIsOneGapWithItsBoxOnTheMapAndInTheReport) {
  TempFolder root;
  const std::string images = root / "images";
  survey::Plan plan;
  plan.headingDeg = 37;
  std::vector<survey::PlannedPhoto> planned;
  const std::vector<readiness::SurveyPhoto> photos = survey::lawnmower(plan, &planned);
  double lat = 0, lon = 0;
  int missing = 0;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const survey::PlannedPhoto& p = planned[i];
    if (p.line >= 3 && p.line <= 5 && p.index >= 6 && p.index < 16) {
      lat += photos[i].latitude;
      lon += photos[i].longitude;
      ++missing;
      continue;
    }
    char name[32];
    std::snprintf(name, sizeof name, "/DJI_%04zu.JPG", i);
    writeFileBytes(images + name, droneJpegOf(photos[i]));
  }
  const std::string page = root / "flight.html", report = root / "flight.geojson";
  ::setenv("PHOTOCHECK_HTML", page.c_str(), 1);
  ::setenv("PHOTOCHECK_GEOJSON", report.c_str(), 1);
  const e2e::PhotoRun run = e2e::runOn(root, images, root / "out");
  ::unsetenv("PHOTOCHECK_HTML");
  ::unsetenv("PHOTOCHECK_GEOJSON");
  ASSERT_EQ(run.run.status, 0) << run.run.err;
  const std::optional<std::string> html = readFileBytes(page);
  ASSERT_TRUE(html.has_value());
  EXPECT_NE(html->find("\"cov\":["), std::string::npos);
  const std::optional<ToolRun> python = runInstalled(
      "python3",
      {"-c", kGapBack, report, std::to_string(lat / missing), std::to_string(lon / missing)});
  if (!python) GTEST_SKIP() << "python3 is not installed: the report is not read back";
  ASSERT_EQ(python->status, 0) << python->err;
  // One gap about the hole; its photos: those of lines 2 to 6 that border it.
  EXPECT_EQ(countOf(python->out, "gap "), 1u) << python->out;
  EXPECT_EQ(python->out.rfind("gap True True ", 0), 0u) << python->out;
}

// A ground height that is no number is not used: the report says what it
// was, and one console line after the side files' tells it.
TEST(Readiness, GroundHeightThatIsNoNumberIsSaid) {
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "out";
  writeFlight(images);
  const Runs r = runBoth(root, images, output, "12m");
  EXPECT_EQ(
      r.withReport.run.out,
      r.plain.run.out + "PHOTOCHECK_GROUND_M is not a number of metres and was not used: 12m\n");
  EXPECT_EQ(r.withReport.run.status, r.plain.run.status);
  EXPECT_EQ(r.withReport.report, r.plain.report);
  const std::optional<std::string> text = readFileBytes(r.path);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("\"ground_altitude_m\":null,\"ground_altitude_ignored\":\"12m\""),
            std::string::npos);

  const Runs good = runBoth(root, images, output, "400.5");
  EXPECT_EQ(good.withReport.run.out, good.plain.run.out);
  const std::optional<std::string> goodText = readFileBytes(good.path);
  ASSERT_TRUE(goodText.has_value());
  EXPECT_NE(goodText->find("\"ground_altitude_m\":400.5,"), std::string::npos);
}

// The corpus's drone photos that carry the XMP block: their height above
// ground comes from the relative altitude, each has a GSD.
TEST(Readiness, CorpusDronePhotosHaveAHeightAboveGround) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  TempFolder root;
  const std::string images = root / "images";
  fs::create_directories(images);
  // Their relative altitudes: 119.8, 119.7 and 119.3 m.
  for (const char* name : {"DJI_0019.JPG", "DJI_0020.JPG", "DJI_0030.JPG"}) {
    fs::copy_file(fs::path(corpus) / "cameras" / name, fs::path(images) / name);
  }
  const Runs r = runBoth(root, images, root / "out");
  EXPECT_EQ(r.withReport.run.out, r.plain.run.out);
  const std::optional<ToolRun> python = runInstalled("python3", {"-c", kReadBack, r.path});
  if (!python) GTEST_SKIP() << "python3 is not installed: the report is not read back";
  ASSERT_EQ(python->status, 0) << python->err;
  EXPECT_NE(python->out.find("photo DJI_0019.JPG 2018-"), std::string::npos) << python->out;
  EXPECT_EQ(countOf(python->out, " 119.8 "), 1u) << python->out;
  EXPECT_EQ(countOf(python->out, " 119.7 "), 1u) << python->out;
  EXPECT_EQ(countOf(python->out, " 119.3 "), 1u) << python->out;
}

}  // namespace

#endif  // _WIN32
