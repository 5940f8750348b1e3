// The GeoJSON report PHOTOCHECK_GEOJSON asks for, through real readers:
// GDAL's ogrinfo (what QGIS opens it with) and Python's json, on the sample
// set and on a set with every kind of file a survey card holds. The run
// prints, writes and returns exactly what it does without the variable.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/photo_set.h"
#include "tests/support/count_of.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = PHOTOCHECK_SOURCE_DIR;

// A run with and without PHOTOCHECK_GEOJSON; the report's text.
struct GeoJsonRun {
  e2e::PhotoRun plain;
  e2e::PhotoRun withReport;
  std::string path;
  std::optional<std::string> text;
};

GeoJsonRun runBoth(const TempFolder& root, const std::string& images, const std::string& output,
                   const std::string& settingsName = "") {
  ::unsetenv("PHOTOCHECK_GEOJSON");
  ::unsetenv("PHOTOCHECK_HTML");
  GeoJsonRun r;
  const auto once = [&]() {
    if (settingsName.empty()) return e2e::runOn(root, images, output);
    e2e::PhotoRun run;
    fs::remove(output + "/error.json");
    run.run = runTool(PHOTOCHECK_EXE, {settingsName}, root.path());
    run.report = readFileBytes(output + "/error.json");
    return run;
  };
  r.plain = once();
  r.path = root / "set.geojson";
  ::setenv("PHOTOCHECK_GEOJSON", r.path.c_str(), 1);
  r.withReport = once();
  ::unsetenv("PHOTOCHECK_GEOJSON");
  r.text = readFileBytes(r.path);
  return r;
}

void expectSameRun(const GeoJsonRun& r) {
  EXPECT_EQ(r.withReport.run.out, r.plain.run.out);
  EXPECT_EQ(r.withReport.run.err, r.plain.run.err);
  EXPECT_EQ(r.withReport.run.status, r.plain.run.status);
  EXPECT_EQ(r.withReport.report, r.plain.report);
}

// Runs a tool found on PATH; nullopt when it is not installed.
std::optional<ToolRun> runInstalled(const std::string& tool, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), tool);
  ToolRun run = runTool("/usr/bin/env", arguments);
  if (run.status == 127) return std::nullopt;
  return run;
}

// For each feature, one line a test can compare: index, the path's exact
// bytes in hex (Python's surrogateescape gives back a byte that is not
// UTF-8), the geometry's coordinates or "null", the flagged checks, the
// reason and the capture time.
constexpr char kReadBack[] = R"(
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    report = json.load(f)
assert report["type"] == "FeatureCollection"
print(report["verdict"], report["exit_status"], report["image_count"], len(report["features"]))
for feature in report["features"]:
    p = feature["properties"]
    g = feature["geometry"]
    where = "null" if g is None else ",".join("%.6f" % c for c in g["coordinates"])
    print(p["index"], p["path"].encode("utf-8", "surrogateescape").hex(), where,
          "+".join(p["flagged"]) or "-", p["reason"], p["captured"])
)";

TEST(GeoJson, SampleSetThroughGdalAndPython) {
  TempFolder root;
  fs::create_directories(fs::path(root.path()) / "examples");
  fs::copy(kCheckout / "examples" / "images", fs::path(root.path()) / "examples" / "images");
  fs::copy_file(kCheckout / "examples" / "photocheck.settings",
                fs::path(root.path()) / "examples" / "photocheck.settings");
  const GeoJsonRun r = runBoth(root, root / "examples/images", root / "build/example-output",
                               "examples/photocheck.settings");
  expectSameRun(r);
  ASSERT_EQ(r.plain.run.status, 1);
  ASSERT_TRUE(r.text.has_value());

  const std::optional<ToolRun> python = runInstalled("python3", {"-c", kReadBack, r.path});
  if (!python) {
    std::cout << "[   SKIP   ] python3 is not installed: the report is not read back\n";
  } else {
    ASSERT_EQ(python->status, 0) << python->err;
    EXPECT_EQ(python->out.substr(0, python->out.find('\n')), "failed 1 10 10");
    EXPECT_EQ(countOf(python->out, " null "), 1u);  // DJI_0009.JPG has no position
  }

  const std::optional<ToolRun> gdal = runInstalled("ogrinfo", {"-ro", "-al", r.path});
  if (!gdal) {
    GTEST_SKIP() << "GDAL's ogrinfo is not installed (Debian: gdal-bin): the report is not "
                    "opened as a GIS would";
  }
  ASSERT_EQ(gdal->status, 0) << gdal->err;
  EXPECT_NE(gdal->out.find("Feature Count: 10"), std::string::npos) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "POINT"), 9u) << gdal->out;
  EXPECT_NE(gdal->out.find("path (String) = DJI_0009.JPG"), std::string::npos) << gdal->out;
}

// Two folders holding the same name, a flight log, a JPEG without EXIF, one
// whose EXIF block is damaged, a photo with a capture time, a Chinese name,
// and a name that is not UTF-8 with an '&' (without GPS, so it is flagged).
void writeSurveySet(const std::string& images) {
  e2e::writePhoto(images + "/a/DJI_0006.JPG", e2e::Photo{});
  e2e::Photo noGps;
  noGps.gps.reset();
  e2e::writePhoto(images + "/b/DJI_0006.JPG", noGps);
  writeFileBytes(images + "/b/DJI_FLIGHT.MRK", "1\t2024 05 17 10:42:07\n");
  writeFileBytes(images + "/c/noexif.jpg", testsupport::JpegBuilder().build());
  testsupport::Bytes damaged = e2e::jpegOf(e2e::Photo{});
  for (std::size_t i = 0; i + 1 < damaged.size(); ++i) {
    if (damaged[i] == 'I' && damaged[i + 1] == 'I') {  // the TIFF byte order
      damaged[i] = 'X';
      break;
    }
  }
  writeFileBytes(images + "/c/damaged.jpg", damaged);
  testsupport::ExifBuilder timed;
  timed.addAscii(testsupport::Ifd::ifd0, 0x010F, "Canon")
      .addLongs(testsupport::Ifd::exif, 0xA002, {4000})
      .addLongs(testsupport::Ifd::exif, 0xA003, {3000})
      .addShorts(testsupport::Ifd::exif, 0xA405, {24})
      .addAscii(testsupport::Ifd::exif, 0x9003, "2024:05:17 10:42:07")
      .addGpsRef(1, 'N')
      .addGpsCoordinate(testsupport::Ifd::gps, 2, 30, 15, 36)
      .addGpsRef(3, 'E')
      .addGpsCoordinate(testsupport::Ifd::gps, 4, 120, 10, 0);
  writeFileBytes(images + "/c/timed.jpg", testsupport::JpegBuilder().exif(timed.segment()).build());
  e2e::writePhoto(images + "/\xe5\xbd\xb1\xe5\x83\x8f.jpg", e2e::Photo{});  // 影像, UTF-8
  e2e::writePhoto(images + "/\xcf\xf1&x.jpg", noGps);                       // GBK bytes
}

// Every path comes back exact, each "error" photo with its reason.
TEST(GeoJson, EveryKindOfFileThroughGdalAndPython) {
  TempFolder root;
  const std::string images = root / "images";
  const std::string output = root / "out";
  writeSurveySet(images);

  const GeoJsonRun r = runBoth(root, images, output);
  expectSameRun(r);
  ASSERT_EQ(r.plain.run.status, 1);
  ASSERT_TRUE(r.text.has_value());

  const std::optional<ToolRun> python = runInstalled("python3", {"-c", kReadBack, r.path});
  if (!python) {
    std::cout << "[   SKIP   ] python3 is not installed: the report is not read back\n";
  } else {
    ASSERT_EQ(python->status, 0) << python->err;
    // In the scan's order: the entries in byte order, each folder where it
    // stands.
    const std::string wanted =
        "failed 1 8 8\n"
        "0 612f444a495f303030362e4a5047 120.166667,30.260000,15.000000 - None None\n"
        "1 622f444a495f303030362e4a5047 null gps None None\n"
        "2 622f444a495f464c494748542e4d524b null resolution+camera_maker+focal_length+gps "
        "not a JPEG None\n"
        "3 632f64616d616765642e6a7067 null resolution+camera_maker+focal_length+gps "
        "EXIF block damaged None\n"
        "4 632f6e6f657869662e6a7067 null resolution+camera_maker+focal_length+gps "
        "no EXIF block None\n"
        "5 632f74696d65642e6a7067 120.166667,30.260000 - None 2024-05-17T10:42:07\n"
        "6 cff126782e6a7067 null gps None None\n"
        "7 e5bdb1e5838f2e6a7067 120.166667,30.260000,15.000000 - None None\n";
    EXPECT_EQ(python->out, wanted);
  }

  const std::optional<ToolRun> gdal = runInstalled("ogrinfo", {"-ro", "-al", r.path});
  if (!gdal) {
    GTEST_SKIP() << "GDAL's ogrinfo is not installed (Debian: gdal-bin): the report is not "
                    "opened as a GIS would";
  }
  ASSERT_EQ(gdal->status, 0) << gdal->err;
  EXPECT_NE(gdal->out.find("Feature Count: 8"), std::string::npos) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "POINT"), 3u) << gdal->out;
  EXPECT_NE(gdal->out.find("reason (String) = not a JPEG"), std::string::npos) << gdal->out;
  EXPECT_NE(gdal->out.find("\xe5\xbd\xb1\xe5\x83\x8f.jpg"), std::string::npos) << gdal->out;
  EXPECT_NE(gdal->out.find("path (String) = b/DJI_0006.JPG"), std::string::npos) << gdal->out;
}

// The Python example of docs/usage.md, taken from the page as it stands,
// moves exactly the flagged photos aside, each under its own folders.
TEST(GeoJson, PipelineExampleMovesTheFlaggedPhotos) {
  const std::optional<std::string> usage = readFileBytes((kCheckout / "docs/usage.md").string());
  ASSERT_TRUE(usage.has_value());
  const std::string marker = "GeoJson.PipelineExampleMovesTheFlaggedPhotos runs this block";
  const std::size_t at = usage->find(marker);
  ASSERT_NE(at, std::string::npos) << "docs/usage.md no longer shows the example";
  const std::size_t start = usage->find("```python\n", at);
  ASSERT_NE(start, std::string::npos);
  const std::size_t code = start + 10;
  const std::string script = usage->substr(code, usage->find("```", code) - code);

  TempFolder root;
  const std::string images = root / "images";
  writeSurveySet(images);
  const GeoJsonRun r = runBoth(root, images, root / "out");
  ASSERT_EQ(r.withReport.run.status, 1);
  writeFileBytes(root / "move_flagged.py", script);
  const std::optional<ToolRun> python =
      runInstalled("python3", {root / "move_flagged.py", r.path, images, root / "aside"});
  if (!python) GTEST_SKIP() << "python3 is not installed: the example is not run";
  ASSERT_EQ(python->status, 0) << python->err;
  for (const char* moved :
       {"b/DJI_0006.JPG", "b/DJI_FLIGHT.MRK", "c/damaged.jpg", "c/noexif.jpg", "\xcf\xf1&x.jpg"}) {
    EXPECT_TRUE(fs::exists(root / (std::string("aside/") + moved))) << moved;
    EXPECT_FALSE(fs::exists(images + "/" + moved)) << moved;
  }
  for (const char* kept : {"a/DJI_0006.JPG", "c/timed.jpg", "\xe5\xbd\xb1\xe5\x83\x8f.jpg"}) {
    EXPECT_TRUE(fs::exists(images + "/" + kept)) << kept;
  }
  EXPECT_EQ(countOf(python->out, "moved "), 5u) << python->out;
}

}  // namespace

#endif  // _WIN32
