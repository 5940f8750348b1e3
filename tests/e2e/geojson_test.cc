// The GeoJSON report PHOTOCHECK_GEOJSON asks for, through real readers:
// GDAL's ogrinfo (what QGIS opens it with) and Python's json, on the sample
// set and on a set with every kind of file a survey card holds. The run
// prints, writes and returns exactly what it does without the variable.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/compiled_locale.h"
#include "tests/e2e/limited_run.h"
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

// Reads the report at argv[1] of a run over the image folder argv[2] started
// at argv[3] (seconds since 1970). Its first lines: the verdict and counts,
// then whether the run is named (a 16-digit id, a time with its offset not
// before the start, the folder's full path). For each feature, one line a
// test can compare: index, the path's exact bytes in hex (Python's
// surrogateescape gives back a byte that is not UTF-8), the geometry's
// coordinates or "null", the flagged checks, the reason, the capture time,
// the 35 mm focal length and the altitude; and a line for any feature whose
// flag_ booleans differ from its flagged list.
constexpr char kReadBack[] = R"(
import datetime, json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    report = json.load(f)
assert report["type"] == "FeatureCollection"
print(report["verdict"], report["exit_status"], report["image_count"], len(report["features"]))
when = datetime.datetime.fromisoformat(report["run_time"])
print(len(report["run_id"]), int(report["run_id"], 16) >= 0, when.utcoffset() is not None,
      when.timestamp() >= int(sys.argv[3]), report["image_folder"] == sys.argv[2])
checks = ["resolution", "camera_maker", "focal_length", "gps"]
for feature in report["features"]:
    p = feature["properties"]
    g = feature["geometry"]
    where = "null" if g is None else ",".join("%.6f" % c for c in g["coordinates"])
    print(p["index"], p["path"].encode("utf-8", "surrogateescape").hex(), where,
          "+".join(p["flagged"]) or "-", p["reason"], p["captured"], p["focal_length_35mm"],
          p["gps_altitude_m"])
    if [c for c in checks if p["flag_" + c]] != p["flagged"]:
        print("flags differ:", p["index"])
)";

// Seconds since 1970, as `date +%s` gives them.
std::string secondsNow() { return std::to_string(static_cast<long long>(std::time(nullptr))); }

TEST(GeoJson, SampleSetThroughGdalAndPython) {
  TempFolder root;
  fs::create_directories(fs::path(root.path()) / "examples");
  fs::copy(kCheckout / "examples" / "images", fs::path(root.path()) / "examples" / "images");
  fs::copy_file(kCheckout / "examples" / "photocheck.settings",
                fs::path(root.path()) / "examples" / "photocheck.settings");
  const std::string started = secondsNow();
  const GeoJsonRun r = runBoth(root, root / "examples/images", root / "build/example-output",
                               "examples/photocheck.settings");
  expectSameRun(r);
  ASSERT_EQ(r.plain.run.status, 1);
  ASSERT_TRUE(r.text.has_value());

  const std::optional<ToolRun> python =
      runInstalled("python3", {"-c", kReadBack, r.path, root / "examples/images", started});
  if (!python) {
    std::cout << "[   SKIP   ] python3 is not installed: the report is not read back\n";
  } else {
    ASSERT_EQ(python->status, 0) << python->err;
    EXPECT_EQ(python->out.substr(0, python->out.find('\n')), "failed 1 10 10");
    EXPECT_NE(python->out.find("\n16 True True True True\n"), std::string::npos) << python->out;
    EXPECT_EQ(countOf(python->out, " null "), 1u);  // DJI_0009.JPG has no position
    // DJI_0008.JPG has no 35 mm focal length: no value, not 0.
    EXPECT_NE(python->out.find(" 2024-05-18T10:28:07 None 120.5\n"), std::string::npos)
        << python->out;
    EXPECT_EQ(countOf(python->out, "flags differ"), 0u) << python->out;
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
  EXPECT_EQ(countOf(gdal->out, "flag_focal_length (Integer(Boolean)) = 1"), 1u) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "focal_length_35mm (Integer) = (null)"), 1u) << gdal->out;
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

  const std::string started = secondsNow();
  const GeoJsonRun r = runBoth(root, images, output);
  expectSameRun(r);
  ASSERT_EQ(r.plain.run.status, 1);
  ASSERT_TRUE(r.text.has_value());

  const std::optional<ToolRun> python =
      runInstalled("python3", {"-c", kReadBack, r.path, images, started});
  if (!python) {
    std::cout << "[   SKIP   ] python3 is not installed: the report is not read back\n";
  } else {
    ASSERT_EQ(python->status, 0) << python->err;
    // In the scan's order: the entries in byte order, each folder where it
    // stands.
    const std::string wanted =
        "failed 1 8 8\n"
        "16 True True True True\n"
        "0 612f444a495f303030362e4a5047 120.166667,30.260000 - None None 24 15.0\n"
        "1 622f444a495f303030362e4a5047 null gps None None 24 None\n"
        "2 622f444a495f464c494748542e4d524b null resolution+camera_maker+focal_length+gps "
        "not a JPEG None None None\n"
        "3 632f64616d616765642e6a7067 null resolution+camera_maker+focal_length+gps "
        "EXIF block damaged None None None\n"
        "4 632f6e6f657869662e6a7067 null resolution+camera_maker+focal_length+gps "
        "no EXIF block None None None\n"
        "5 632f74696d65642e6a7067 120.166667,30.260000 - None 2024-05-17T10:42:07 24 None\n"
        "6 cff126782e6a7067 null gps None None 24 None\n"
        "7 e5bdb1e5838f2e6a7067 120.166667,30.260000 - None None 24 15.0\n";
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
  EXPECT_EQ(countOf(gdal->out, "gps_altitude_m (Real) = 15"), 2u) << gdal->out;
  EXPECT_EQ(countOf(gdal->out, "flag_gps (Integer(Boolean)) = 1"), 5u) << gdal->out;
}

// The rows of the table that follows `marker` in docs/usage.md, each cut
// into its cells (without the bars and the blanks around them); none when
// the page no longer shows it.
std::vector<std::vector<std::string>> usageTableRows(const std::string& marker) {
  std::vector<std::vector<std::string>> rows;
  const std::optional<std::string> usage = readFileBytes((kCheckout / "docs/usage.md").string());
  const std::size_t at = usage ? usage->find(marker) : std::string::npos;
  if (at == std::string::npos) return rows;
  std::size_t line = usage->find('\n', at) + 1;
  for (std::size_t end; (end = usage->find('\n', line)) != std::string::npos; line = end + 1) {
    const std::string text = usage->substr(line, end - line);
    if (text.empty() || text[0] != '|') break;
    std::vector<std::string> cells;
    for (std::size_t from = 1, bar; (bar = text.find('|', from)) != std::string::npos;
         from = bar + 1) {
      const std::size_t first = text.find_first_not_of(' ', from);
      const std::size_t last = text.find_last_not_of(' ', bar - 1);
      cells.push_back(first < bar ? text.substr(first, last + 1 - first) : std::string());
    }
    if (cells.empty() || cells[0].rfind("---", 0) == 0) continue;
    rows.push_back(cells);
  }
  if (!rows.empty()) rows.erase(rows.begin());  // the heading
  return rows;
}

// The `code` spans of a cell, in order.
std::vector<std::string> codeSpans(const std::string& cell) {
  std::vector<std::string> spans;
  for (std::size_t open = cell.find('`'); open != std::string::npos;) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    spans.push_back(cell.substr(open + 1, close - open - 1));
    open = cell.find('`', close + 1);
  }
  return spans;
}

// The JSON value a cell promises: a cell that is one `literal`, alone or
// before a note in brackets; empty for one that describes it in words.
std::string promisedValue(const std::string& cell) {
  if (cell.empty() || cell[0] != '`') return std::string();
  const std::size_t close = cell.find('`', 1);
  if (close == std::string::npos) return std::string();
  const std::string rest = cell.substr(close + 1);
  if (!rest.empty() && rest.rfind(" (", 0) != 0) return std::string();
  return cell.substr(1, close - 1);
}

// What the report writes for the feature whose path is `path`: its text from
// the path to the next feature.
std::string featureText(const std::string& report, const std::string& path) {
  const std::size_t at = report.find("\"path\":\"" + path + "\"");
  if (at == std::string::npos) return std::string();
  return report.substr(at, report.find("{\"type\":\"Feature\"", at) - at);
}

// docs/usage.md's table of what each property holds where a value is
// missing, as the report writes it: for a photo with an EXIF block that
// holds none of the values (all checks on), for that photo with every check
// off, and for a file that is not a JPEG.
TEST(GeoJson, MissingValuesAreWhatUsageSays) {
  const auto rows = usageTableRows("GeoJson.MissingValuesAreWhatUsageSays reads this table");
  ASSERT_GE(rows.size(), 5u) << "docs/usage.md no longer shows the table of missing values";
  TempFolder root;
  const std::string images = root / "images";
  testsupport::ExifBuilder bare;
  bare.addShorts(testsupport::Ifd::ifd0, 0x0112, {1});  // Orientation alone
  writeFileBytes(images + "/bare.jpg", testsupport::JpegBuilder().exif(bare.segment()).build());
  writeFileBytes(images + "/notes.txt", "not a photo\n");

  const std::string path = root / "set.geojson";
  ::setenv("PHOTOCHECK_GEOJSON", path.c_str(), 1);
  const e2e::PhotoRun on = e2e::runOn(root, images, root / "out");
  const std::optional<std::string> checked = readFileBytes(path);
  const e2e::PhotoRun off = e2e::runOn(root, images, root / "out", {false, false, false, false});
  const std::optional<std::string> unchecked = readFileBytes(path);
  ::unsetenv("PHOTOCHECK_GEOJSON");
  ASSERT_EQ(on.run.status, 1) << on.run.out;
  ASSERT_TRUE(checked.has_value() && unchecked.has_value());

  // The table's columns after the property, and the feature each stands for.
  const std::string features[] = {featureText(*checked, "bare.jpg"),
                                  featureText(*unchecked, "bare.jpg"),
                                  featureText(*checked, "notes.txt")};
  std::size_t compared = 0;
  for (const std::vector<std::string>& row : rows) {
    ASSERT_EQ(row.size(), 4u) << row[0];
    for (const std::string& property : codeSpans(row[0])) {
      for (std::size_t column = 0; column < 3; ++column) {
        const std::string value = promisedValue(row[column + 1]);
        if (value.empty()) continue;
        const std::string member = "\"" + property + "\":" + value;
        const std::size_t at = features[column].find(member);
        const char after = at == std::string::npos ? '\0' : features[column][at + member.size()];
        EXPECT_TRUE(after == ',' || after == '}') << member << " in column " << column + 2 << ":\n"
                                                  << features[column];
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, 30u);
}

// The block of docs/usage.md after `marker` that opens with `fence`, as the
// page stands; empty when the page no longer shows it.
std::string usageBlock(const std::string& marker, const std::string& fence) {
  const std::optional<std::string> usage = readFileBytes((kCheckout / "docs/usage.md").string());
  if (!usage) return std::string();
  const std::size_t at = usage->find(marker);
  const std::size_t start = at == std::string::npos ? at : usage->find(fence, at);
  if (start == std::string::npos) return std::string();
  const std::size_t code = start + fence.size();
  return usage->substr(code, usage->find("```", code) - code);
}

// A folder as docs/usage.md's pipeline expects it: the survey set in
// `images`, `my.settings` naming it and `out`, the mover beside them.
struct PipelineFolder {
  TempFolder root;
  std::string images = root / "images";
  std::string command;

  PipelineFolder() {
    const std::string script =
        usageBlock("GeoJson.PipelineExampleMovesTheFlaggedPhotos runs this block", "```python\n");
    command =
        usageBlock("GeoJson.PipelineExampleMovesTheFlaggedPhotos runs this command", "```sh\n");
    EXPECT_FALSE(script.empty() || command.empty()) << "docs/usage.md no longer shows the example";
    writeFileBytes(root / "move_flagged.py", script);
    writeSurveySet(images);
    writeSettings(6);
  }

  // A settings file with the first `values` of the six.
  void writeSettings(std::size_t values) const {
    std::string settings;
    for (const auto& [key, value] : e2e::settingsOf("images", "out", {})) {
      if (values-- > 0) settings += key + " = " + value + "\n";
    }
    writeFileBytes(root / "my.settings", settings);
  }

  // The documented command, run by bash in the folder under `locale` with
  // the built tool on PATH.
  ToolRun run(const std::string& locale) const {
    e2e::RunLimits limits;
    limits.environment = e2e::environmentFor(locale);
    limits.environment.back() =
        "PATH=" + fs::path(PHOTOCHECK_EXE).parent_path().string() + ":/usr/bin:/bin";
    return e2e::runLimited("/bin/bash", {"-c", "cd '" + root.path() + "' && " + command}, limits);
  }
};

bool canRunPipeline() {
  return fs::exists("/bin/bash") && runInstalled("python3", {"-c", "pass"}).has_value();
}

constexpr const char* kFlagged[] = {"b/DJI_0006.JPG", "b/DJI_FLIGHT.MRK", "c/damaged.jpg",
                                    "c/noexif.jpg", "\xcf\xf1&x.jpg"};
constexpr const char* kPassed[] = {"a/DJI_0006.JPG", "c/timed.jpg", "\xe5\xbd\xb1\xe5\x83\x8f.jpg"};

// The Python example of docs/usage.md and the command that runs it, taken
// from the page as it stands, move exactly the flagged photos aside, each
// under its own folders, and name each by its exact bytes: in C.UTF-8 and in
// zh_CN.UTF-8, where a name that is not UTF-8 must not stop the script.
TEST(GeoJson, PipelineExampleMovesTheFlaggedPhotos) {
  if (!canRunPipeline()) GTEST_SKIP() << "bash or python3 is not installed: the example is not run";
  std::vector<std::string> locales = {"C.UTF-8"};
  if (e2e::canCompileLocales() && e2e::compileLocale("zh_CN.UTF-8", "UTF-8")) {
    locales.push_back("zh_CN.UTF-8");
  } else {
    std::cout << "[   SKIP   ] zh_CN.UTF-8 could not be made (Debian package locales): the "
                 "example runs under C.UTF-8 alone\n";
  }
  for (const std::string& locale : locales) {
    const PipelineFolder folder;
    const ToolRun run = folder.run(locale);
    EXPECT_EQ(run.status, 0) << locale << "\n" << run.out << run.err;
    for (const char* moved : kFlagged) {
      EXPECT_TRUE(fs::exists(folder.root / (std::string("aside/") + moved))) << locale << moved;
      EXPECT_FALSE(fs::exists(folder.images + "/" + moved)) << locale << moved;
    }
    for (const char* kept : kPassed) {
      EXPECT_TRUE(fs::exists(folder.images + "/" + kept)) << locale << kept;
    }
    EXPECT_EQ(countOf(run.out, "moved "), 5u) << locale << run.out;
    EXPECT_NE(run.out.find("\nmoved \xcf\xf1&x.jpg flagged by gps\n"), std::string::npos)
        << locale << run.out;
  }
}

// A photo already set aside by an earlier card stays as it was; the photo
// of the same path stays in the set, named on standard error, and the
// script says so by its status. The others still move.
TEST(GeoJson, PipelineExampleNeverOverwritesAPhotoSetAside) {
  if (!canRunPipeline()) GTEST_SKIP() << "bash or python3 is not installed: the example is not run";
  const PipelineFolder folder;
  writeFileBytes(folder.root / "aside/b/DJI_0006.JPG", "from the card before");
  const ToolRun run = folder.run("C.UTF-8");
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(readFileBytes(folder.root / "aside/b/DJI_0006.JPG"), "from the card before");
  EXPECT_TRUE(fs::exists(folder.images + "/b/DJI_0006.JPG"));
  EXPECT_NE(run.err.find("already aside, not moved: b/DJI_0006.JPG"), std::string::npos) << run.err;
  EXPECT_EQ(countOf(run.out, "moved "), 4u) << run.out;
}

// A run that could not start ends with status 1 too: yesterday's report at
// the path moves nothing, and neither does a report older than the run.
TEST(GeoJson, PipelineExampleActsOnThisRunsReportAlone) {
  if (!canRunPipeline()) GTEST_SKIP() << "bash or python3 is not installed: the example is not run";
  const PipelineFolder folder;
  ASSERT_EQ(folder.run("C.UTF-8").status, 0);  // the flagged photos go aside
  // The next card: the same set again, yesterday's report still there.
  fs::remove_all(folder.root / "aside");
  const std::string yesterday = folder.root / "yesterday.geojson";
  fs::copy_file(folder.root / "out/set.geojson", yesterday);
  writeSurveySet(folder.images);
  folder.writeSettings(5);
  const ToolRun failed = folder.run("C.UTF-8");
  EXPECT_EQ(failed.status, 2) << failed.out << failed.err;
  EXPECT_NE(failed.err.find("holds 5 values"), std::string::npos) << failed.err;
  EXPECT_EQ(countOf(failed.out, "moved "), 0u) << failed.out;
  for (const char* flagged : kFlagged) {
    EXPECT_TRUE(fs::exists(folder.images + "/" + flagged)) << flagged;
  }
  // The script alone, given a run that started after the report was written.
  const std::string later = std::to_string(static_cast<long long>(std::time(nullptr)) + 3600);
  const std::optional<ToolRun> late = runInstalled(
      "python3",
      {folder.root / "move_flagged.py", yesterday, folder.images, folder.root / "aside", later});
  ASSERT_TRUE(late.has_value());
  EXPECT_EQ(late->status, 2) << late->out << late->err;
  EXPECT_EQ(countOf(late->out, "moved "), 0u) << late->out;
  EXPECT_FALSE(fs::exists(folder.root / "aside"));
}

}  // namespace

#endif  // _WIN32
