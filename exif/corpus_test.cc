// The reader against real files of the shared corpus: the camera photos are
// compared with the values ExifTool reads (truth.json), and the malformed
// files must each give a known result code without a crash (run this suite
// under the asan preset to make "no crash" mean "no invalid read").

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "exif/exif_record.h"
#include "tests/support/jpeg_builder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;

// Photos where the reader, behaving as designed, must differ from ExifTool.
// `fields` names every truth member that differs (space-separated, sorted);
// the test checks that exactly these differ, so the table cannot go stale.
struct KnownDifference {
  const char* file;
  const char* fields;
  const char* reason;
};
// clang-format off
const KnownDifference kKnownDifferences[] = {
    // The first FF E1 pair starts an XMP APP1; the EXIF APP1 comes later and
    // is not looked for. We return exifNoExif, ExifTool reads the EXIF block.
    {"cameras/no_exif.jpg", "byteOrder",
     "first FF E1 pair is XMP: exifNoExif, ExifTool finds the later EXIF APP1"},
    // PixelX/YDimension stored as SLONG (type 9): accepted without values, so
    // width and height stay 0; ExifTool converts them (10x10, 200x134).
    {"cameras/Sony_alpha_a58.JPG", "exifImageHeight exifImageWidth",
     "image size stored as SLONG: we read 0x0, ExifTool 10x10"},
    {"cameras/nikon_D3100_TypeError.jpg", "exifImageHeight exifImageWidth",
     "image size stored as SLONG: we read 0x0, ExifTool 200x134"},
    // FocalLengthIn35mmFilm stored as LONG: only SHORT is taken.
    {"cameras/go-exif_gps.jpg", "focalLength35mm",
     "35 mm focal length stored as LONG: we read 0, ExifTool 28"},
    // GPS coordinates stored as ASCII text ("52,00000,50,00000,34,01180"):
    // only RATIONAL/SRATIONAL with count 3 is taken.
    {"cameras/geodegrees_as_string.jpg", "gpsLatitude gpsLongitude",
     "GPS coordinates stored as text: we read 0, ExifTool 52.01/11.00"},
    // Rationals 0/0 count as 0. ExifTool reports such a coordinate or
    // altitude as a non-number (null, with a note).
    {"cameras/Leica_T_Typ_701.jpg", "gpsAltitude gpsLatitude gpsLongitude",
     "GPS position and altitude all 0/0: we read 0, ExifTool null"},
    {"cameras/photoprism_snow.jpg", "gpsLatitude gpsLongitude",
     "GPS coordinates all 0/0: we read 0, ExifTool null"},
    {"cameras/Nikon_D5000.jpg", "gpsLatitude gpsLongitude",
     "GPS seconds 0/0: we read 48.89/21.04 (seconds as 0), ExifTool null"},
    {"cameras/panorama360.jpg", "gpsAltitude",
     "GPS altitude 0/0: we read 0, ExifTool null"},
};
// clang-format on

const KnownDifference* knownDifference(const std::string& file) {
  for (const KnownDifference& k : kKnownDifferences) {
    if (file == k.file) return &k;
  }
  return nullptr;
}

bool readTruth(const std::string& path, rapidjson::Document& truth) {
  const Bytes text = testsupport::readFile(path);
  truth.Parse(reinterpret_cast<const char*>(text.data()), text.size());
  return !text.empty() && !truth.HasParseError() && truth.IsObject();
}

// Make as ExifTool reports it: up to the first zero byte, trailing blanks
// dropped. Several cameras pad the field with blanks or zero bytes, and our
// reader keeps the stored bytes (less one terminating zero byte).
std::string makeAsExifTool(const std::string& stored) {
  std::string text = stored.substr(0, stored.find('\0'));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// True when truth's `notes` say ExifTool turned this tag's value into
// something that is not a number (then a null is not "tag absent").
bool noteMentions(const rapidjson::Value& entry, const std::string& tagName) {
  if (!entry.HasMember("notes")) return false;
  for (const auto& note : entry["notes"].GetArray()) {
    if (std::string(note.GetString()).find(tagName) != std::string::npos) return true;
  }
  return false;
}

// Compares one numeric member. A null agrees with our reset 0 only when the
// tag was absent for ExifTool too (no note says it held a non-number).
bool numberAgrees(const rapidjson::Value& entry, const char* member, const char* tagName,
                  double ours) {
  const rapidjson::Value& theirs = entry[member];
  if (theirs.IsNull()) return ours == 0 && !noteMentions(entry, tagName);
  const double expected = theirs.GetDouble();
  // truth.json holds ExifTool's 15 significant digits.
  return std::fabs(ours - expected) <= 1e-9 * std::max(1.0, std::fabs(expected));
}

// Members of truth that differ from what the reader gives for this file.
std::string differences(const rapidjson::Value& entry, ExifResult result, const ExifRecord& r) {
  std::vector<std::string> differing;
  const bool truthHasExif = !entry["byteOrder"].IsNull();
  if ((result == exifOk) != truthHasExif) {
    differing.push_back("byteOrder");
  } else if (result == exifOk) {
    if (std::string(entry["byteOrder"].GetString()) != (r.intelByteOrder ? "II" : "MM")) {
      differing.push_back("byteOrder");
    }
    const rapidjson::Value& make = entry["make"];
    if (make.IsNull() ? !r.make.empty() : makeAsExifTool(r.make) != make.GetString()) {
      differing.push_back("make");
    }
    struct Numeric {
      const char* member;
      const char* tagName;
      double ours;
    };
    const Numeric numeric[] = {
        {"exifImageWidth", "ExifImageWidth", static_cast<double>(r.imageWidth)},
        {"exifImageHeight", "ExifImageHeight", static_cast<double>(r.imageHeight)},
        {"focalLength35mm", "FocalLengthIn35mmFormat", static_cast<double>(r.focalLength35mm)},
        {"gpsAltitude", "GPSAltitude", r.gps.altitude},
        {"gpsLatitude", "GPSLatitude", r.gps.latitude},
        {"gpsLongitude", "GPSLongitude", r.gps.longitude},
    };
    for (const Numeric& n : numeric) {
      if (!numberAgrees(entry, n.member, n.tagName, n.ours)) differing.push_back(n.member);
    }
  }
  std::sort(differing.begin(), differing.end());
  std::string joined;
  for (const std::string& d : differing) joined += (joined.empty() ? "" : " ") + d;
  return joined;
}

std::string describe(ExifResult result, const ExifRecord& r) {
  std::ostringstream out;
  out << "result " << result << ", make \"" << makeAsExifTool(r.make) << "\", " << r.imageWidth
      << "x" << r.imageHeight << ", 35mm " << r.focalLength35mm << ", gps " << r.gps.latitude << " "
      << r.gps.longitude << " " << r.gps.altitude;
  return out.str();
}

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& item : fs::directory_iterator(folder)) {
    if (item.is_regular_file()) files.push_back(item.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

ExifResult parseFile(const Bytes& bytes, ExifRecord& record) {
  return record.parseJpeg(bytes.empty() ? nullptr : bytes.data(),
                          static_cast<std::uint32_t>(bytes.size()));
}

bool isKnownResult(ExifResult result) {
  return result == exifOk || result == exifNotJpeg || result == exifNoExif ||
         result == exifUnknownByteOrder || result == exifCorrupt;
}

TEST(Corpus, CameraPhotosAgreeWithExifTool) {
  const fs::path corpus = fs::path(testsupport::sharedDir()) / "corpus";
  rapidjson::Document truth;
  if (!fs::is_directory(corpus / "cameras") ||
      !readTruth((corpus / "truth.json").string(), truth)) {
    GTEST_SKIP() << "shared corpus not found at " << corpus
                 << " (set PHOTOCHECK_SHARED to the folder holding corpus/)";
  }
  int compared = 0, agreeing = 0, listed = 0;
  std::set<std::string> seen;
  for (const fs::path& path : filesIn(corpus / "cameras")) {
    const std::string key = "cameras/" + path.filename().string();
    ASSERT_TRUE(truth.HasMember(key.c_str())) << key << " is missing from truth.json";
    const Bytes bytes = testsupport::readFile(path.string());
    ExifRecord record;
    const ExifResult result = parseFile(bytes, record);
    const std::string differing = differences(truth[key.c_str()], result, record);
    const KnownDifference* known = knownDifference(key);
    ++compared;
    seen.insert(key);
    if (known != nullptr) {
      ++listed;
      EXPECT_EQ(differing, known->fields)
          << key << " (" << known->reason << "): " << describe(result, record);
    } else {
      if (differing.empty()) ++agreeing;
      EXPECT_EQ(differing, "") << key << ": " << describe(result, record);
    }
  }
  for (const KnownDifference& k : kKnownDifferences) {
    EXPECT_EQ(seen.count(k.file), 1u) << k.file << " is listed but not in the corpus";
  }
  EXPECT_GT(compared, 0);
  std::printf("corpus: %d photos compared, %d agree with ExifTool, %d listed differences\n",
              compared, agreeing, listed);
  RecordProperty("compared", compared);
  RecordProperty("agreeing", agreeing);
  RecordProperty("listed", listed);
}

// Malformed files: each gives one of the five codes; every cut of a few of
// them too. Under ASan any read outside the given bytes fails the test.
TEST(Corpus, HostileFilesGiveAKnownResult) {
  const fs::path hostile = fs::path(testsupport::sharedDir()) / "corpus" / "hostile";
  if (!fs::is_directory(hostile)) {
    GTEST_SKIP() << "shared corpus not found at " << hostile
                 << " (set PHOTOCHECK_SHARED to the folder holding corpus/)";
  }
  const std::set<std::string> sweep = {"max_uint32_exif.jpg", "truncated_exif_dpi.jpg",
                                       "exif-ifd-offset.jpg", "huge_tag_exif.jpg"};
  std::map<int, int> counts;
  for (const fs::path& path : filesIn(hostile)) {
    const Bytes bytes = testsupport::readFile(path.string());
    ExifRecord record;
    const ExifResult result = parseFile(bytes, record);
    EXPECT_TRUE(isKnownResult(result)) << path.filename() << ": " << result;
    ++counts[result];
    if (sweep.count(path.filename().string()) == 0) continue;
    // Cut the file at every length up to 4 KiB past the segment start, each
    // cut in its own buffer so that ASan sees reads past its end.
    const std::size_t limit = std::min<std::size_t>(bytes.size(), 4096);
    for (std::size_t n = 0; n <= limit; ++n) {
      Bytes cut(bytes.begin(), bytes.begin() + n);
      cut.push_back(0xFF);  // keep an end marker so the EXIF code is reached
      cut.push_back(0xD9);
      ExifRecord r;
      EXPECT_TRUE(isKnownResult(parseFile(cut, r))) << path.filename() << " cut at " << n;
    }
  }
  std::printf("hostile:");
  for (const auto& [code, count] : counts) std::printf(" %d x %d", count, code);
  std::printf("\n");
}

// Inputs the fuzzer once found: they must parse without a crash.
TEST(Corpus, FuzzRegressionsReplay) {
  const fs::path folder = PHOTOCHECK_EXIF_REGRESSIONS;
  if (!fs::is_directory(folder)) GTEST_SKIP() << "no regression folder " << folder;
  for (const fs::path& path : filesIn(folder)) {
    const Bytes bytes = testsupport::readFile(path.string());
    ExifRecord record;
    EXPECT_TRUE(isKnownResult(parseFile(bytes, record))) << path.filename();
    ExifRecord segment;
    EXPECT_TRUE(isKnownResult(segment.parseExifSegment(bytes.empty() ? nullptr : bytes.data(),
                                                       static_cast<std::uint32_t>(bytes.size()))));
  }
}

}  // namespace
