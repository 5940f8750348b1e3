#include "geojson/geojson_report.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>
#include <vector>

namespace {

ImageFacts decodedAt(double latitude, double longitude) {
  ImageFacts facts;
  facts.read = ImageRead::decoded;
  facts.latitude = latitude;
  facts.longitude = longitude;
  facts.imageWidth = 4000;
  facts.imageHeight = 3000;
  facts.make = "DJI";
  facts.focalLength35mm = 24;
  return facts;
}

// Four listed files: a photo with a position, altitude and capture time
// flagged by nothing; one without a position or 35 mm focal length flagged
// by the GPS check (a name that is not UTF-8); one that is no JPEG; one gone
// since the scan.
struct SmallRun {
  platform::PathList images{"set/a/DJI_0006.JPG", "set/b/\xcf\xf1&.jpg", "set/DJI_FLIGHT.MRK",
                            "set/gone.jpg"};
  std::vector<ImageFacts> facts;

  SmallRun() {
    facts.push_back(decodedAt(30.25, 120.5));
    facts[0].altitude = 88.5;
    facts[0].hasAltitude = true;
    facts[0].captured = {2024, 5, 17, 10, 42, 7};
    facts.push_back(decodedAt(0, 0));
    facts[1].focalLength35mm = 0;
    facts[1].flaggedBy = 1u << 3;
    ImageFacts notJpeg;
    notJpeg.read = ImageRead::decoded;
    notJpeg.result = exifNotJpeg;
    notJpeg.flaggedBy = 1u << 0 | 1u << 3;
    facts.push_back(notJpeg);
    facts.push_back(ImageFacts{});  // missing
  }

  GeoJsonInput input() const {
    GeoJsonInput input;
    input.status = 1;
    input.settings = {{"image folder", "set"}, {"GPS check", "true"}};
    input.version = "9.9.9";
    input.runId = "0123456789abcdef";
    input.runTime = "2026-12-10T18:02:03+08:00";
    input.folderShown = "/home/survey/set";
    input.imageFolder = platform::FilePath("set");
    input.images = &images;
    input.facts = &facts;
    input.ran = {true, false, true, true};
    return input;
  }
};

std::string textOf(const GeoJsonInput& input, std::size_t* pieces = nullptr) {
  std::string text;
  std::size_t count = 0;
  EXPECT_TRUE(writeGeoJson(input, [&](std::string_view piece) {
    text.append(piece);
    ++count;
    return true;
  }));
  if (pieces != nullptr) *pieces = count;
  return text;
}

TEST(GeoJsonReport, OneFeaturePerListedFileWithItsValuesAndReason) {
  const SmallRun run;
  const std::string text = textOf(run.input());
  rapidjson::Document doc;
  doc.Parse(text.c_str());
  ASSERT_FALSE(doc.HasParseError()) << text;
  EXPECT_STREQ(doc["type"].GetString(), "FeatureCollection");
  EXPECT_STREQ(doc["verdict"].GetString(), "failed");
  EXPECT_EQ(doc["exit_status"].GetInt(), 1);
  EXPECT_EQ(doc["image_count"].GetInt(), 4);
  EXPECT_STREQ(doc["tool_version"].GetString(), "9.9.9");
  EXPECT_STREQ(doc["settings"]["GPS check"].GetString(), "true");
  EXPECT_STREQ(doc["run_id"].GetString(), "0123456789abcdef");
  EXPECT_STREQ(doc["run_time"].GetString(), "2026-12-10T18:02:03+08:00");
  EXPECT_STREQ(doc["image_folder"].GetString(), "/home/survey/set");
  const auto& features = doc["features"];
  ASSERT_EQ(features.Size(), 4u);

  const auto& first = features[0];
  EXPECT_STREQ(first["geometry"]["type"].GetString(), "Point");
  EXPECT_EQ(first["geometry"]["coordinates"][0].GetDouble(), 120.5);  // longitude first
  EXPECT_EQ(first["geometry"]["coordinates"][1].GetDouble(), 30.25);
  // The altitude above sea level is no third coordinate (height above the
  // ellipsoid) but a property.
  EXPECT_EQ(first["geometry"]["coordinates"].Size(), 2u);
  const auto& p0 = first["properties"];
  EXPECT_STREQ(p0["path"].GetString(), "a/DJI_0006.JPG");
  EXPECT_EQ(p0["index"].GetInt(), 0);
  EXPECT_EQ(p0["flagged"].Size(), 0u);
  EXPECT_EQ(p0["width"].GetInt(), 4000);
  EXPECT_TRUE(p0["camera_maker"].IsNull());  // that check did not run
  EXPECT_EQ(p0["focal_length_35mm"].GetInt(), 24);
  EXPECT_TRUE(p0["has_gps"].GetBool());
  EXPECT_EQ(p0["gps_altitude_m"].GetDouble(), 88.5);
  EXPECT_TRUE(p0["reason"].IsNull());
  EXPECT_STREQ(p0["captured"].GetString(), "2024-05-17T10:42:07");

  const auto& p1 = features[1]["properties"];
  EXPECT_TRUE(features[1]["geometry"].IsNull());
  EXPECT_FALSE(p1["has_gps"].GetBool());
  EXPECT_TRUE(p1["gps_altitude_m"].IsNull());
  EXPECT_TRUE(p1["focal_length_35mm"].IsNull());  // no tag: no value, not 0
  EXPECT_STREQ(p1["flagged"][0].GetString(), "gps");
  EXPECT_TRUE(p1["captured"].IsNull());
  // On POSIX the GBK bytes as lone surrogates; on Windows the name as the
  // code page reads it, in UTF-8. The '&' as it is.
  const std::string name = platform::kPathSeparator == '/'
                               ? std::string("b/\\uDCCF\\uDCF1&.jpg")
                               : "b/" + platform::utf8FromSystemText("\xcf\xf1") + "&.jpg";
  EXPECT_NE(text.find("\"path\":\"" + name + "\""), std::string::npos) << text;

  const auto& p2 = features[2]["properties"];
  EXPECT_TRUE(features[2]["geometry"].IsNull());
  EXPECT_STREQ(p2["reason"].GetString(), "not a JPEG");
  EXPECT_TRUE(p2["width"].IsNull());
  ASSERT_EQ(p2["flagged"].Size(), 2u);
  EXPECT_STREQ(p2["flagged"][0].GetString(), "resolution");
  EXPECT_STREQ(p2["flagged"][1].GetString(), "gps");

  EXPECT_STREQ(features[3]["properties"]["reason"].GetString(), "missing");
  EXPECT_EQ(features[3]["properties"]["index"].GetInt(), 3);
}

// Beside each "flagged" list, one boolean per check named after the list's
// word, which GeoPackage and CSV keep: null for a check that did not run.
TEST(GeoJsonReport, EachCheckHasABooleanBesideTheFlaggedList) {
  const SmallRun run;
  rapidjson::Document doc;
  doc.Parse(textOf(run.input()).c_str());
  ASSERT_FALSE(doc.HasParseError());
  const char* const names[] = {"resolution", "camera_maker", "focal_length", "gps"};
  // What each feature shows per check, in that order: 0 false, 1 true,
  // 2 null.
  const int wanted[4][4] = {{0, 2, 0, 0}, {0, 2, 0, 1}, {1, 2, 0, 1}, {0, 2, 0, 0}};
  for (rapidjson::SizeType f = 0; f < 4; ++f) {
    const auto& properties = doc["features"][f]["properties"];
    for (int c = 0; c < 4; ++c) {
      const std::string key = std::string("flag_") + names[c];
      ASSERT_TRUE(properties.HasMember(key.c_str())) << key;
      const auto& flag = properties[key.c_str()];
      const int shown = flag.IsNull() ? 2 : flag.IsTrue() ? 1 : 0;
      EXPECT_EQ(shown, wanted[f][c]) << "feature " << f << " " << key;
      bool listed = false;
      for (const auto& name : properties["flagged"].GetArray()) {
        listed = listed || std::string(name.GetString()) == names[c];
      }
      EXPECT_EQ(listed, shown == 1) << "feature " << f << " " << key;
    }
  }
}

// What a batch file reads with `for /f` alone: one line per photo that starts
// with its flagged checks and ends with its path, and no other line that
// starts so.
TEST(GeoJsonReport, EachPhotoHasALineOfItsFlagsAndPath) {
  const SmallRun run;
  const std::string text = textOf(run.input());
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    if (line.rfind("\"flagged\":", 0) == 0) lines.push_back(line);
  }
  const std::string gbk = platform::kPathSeparator == '/'
                              ? std::string("\\uDCCF\\uDCF1")
                              : platform::utf8FromSystemText("\xcf\xf1");
  const std::vector<std::string> wanted = {
      R"("flagged":[],"path":"a/DJI_0006.JPG")",
      R"("flagged":["gps"],"path":"b/)" + gbk + R"(&.jpg")",
      R"("flagged":["resolution","gps"],"path":"DJI_FLIGHT.MRK")",
      R"("flagged":[],"path":"gone.jpg")",
  };
  EXPECT_EQ(lines, wanted) << text;
}

TEST(GeoJsonReport, ReasonsOfPhotosFiledUnderError) {
  struct ReasonCase {
    ImageRead read;
    ExifResult result;
    bool notRegular;
    int error;
    const char* wanted;
  };
  const ReasonCase cases[] = {
      {ImageRead::decoded, exifNoExif, false, 0, "no EXIF block"},
      {ImageRead::decoded, exifCorrupt, false, 0, "EXIF block damaged"},
      {ImageRead::decoded, exifUnknownByteOrder, false, 0, "EXIF block damaged"},
      {ImageRead::unreadable, exifOk, true, 0, "not a regular file"},
      {ImageRead::unreadable, exifOk, false, 0, "cannot be read: the file ends early"},
  };
  for (const ReasonCase& c : cases) {
    const platform::PathList images{"set/x.jpg"};
    std::vector<ImageFacts> facts(1);
    facts[0].read = c.read;
    facts[0].result = c.result;
    facts[0].notRegularFile = c.notRegular;
    facts[0].systemError = c.error;
    GeoJsonInput input;
    input.imageFolder = platform::FilePath("set");
    input.images = &images;
    input.facts = &facts;
    rapidjson::Document doc;
    doc.Parse(textOf(input).c_str());
    ASSERT_FALSE(doc.HasParseError());
    EXPECT_STREQ(doc["features"][0]["properties"]["reason"].GetString(), c.wanted);
  }
  // A failed open or read gives the system's words after the colon.
  std::vector<ImageFacts> facts(1);
  facts[0].read = ImageRead::unreadable;
  facts[0].systemError = 13;  // EACCES on POSIX, ERROR_INVALID_DATA on Windows
  const platform::PathList images{"set/x.jpg"};
  GeoJsonInput input;
  input.images = &images;
  input.facts = &facts;
  const std::string text = textOf(input);
  EXPECT_NE(text.find("\"reason\":\"cannot be read: " + platform::systemErrorText(13) + "\""),
            std::string::npos)
      << text;
}

// A set of thousands is handed on in pieces of about 64 KiB, never whole,
// and a piece that cannot be written stops the making.
TEST(GeoJsonReport, IsWrittenInPiecesAndStopsAtAFailedOne) {
  platform::PathList images;
  for (int i = 0; i < 5000; ++i) images.push_back(platform::FilePath("set/DJI_0001.JPG"));
  std::vector<ImageFacts> facts(images.size(), decodedAt(30, 120));
  GeoJsonInput input;
  input.imageFolder = platform::FilePath("set");
  input.images = &images;
  input.facts = &facts;
  std::size_t pieces = 0;
  const std::string text = textOf(input, &pieces);
  EXPECT_GT(pieces, 4u);
  EXPECT_LT(pieces, text.size() / (32 * 1024));
  int calls = 0;
  EXPECT_FALSE(writeGeoJson(input, [&](std::string_view) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
}

TEST(GeoJsonReport, AnEmptySetIsAnEmptyCollection) {
  GeoJsonInput input;
  const std::string text = textOf(input);
  EXPECT_NE(text.find("\"features\":[]"), std::string::npos) << text;
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find("run_id"), std::string::npos) << text;  // none given, none made up
}

}  // namespace
