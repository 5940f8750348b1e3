// One run of the tool over the shared folder of real camera photos, with all
// four checks on. Which photos each check reports must agree with what
// ExifTool's reading of them (corpus/truth.json) implies under the checks'
// rules. Skipped when the shared corpus is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/platform_text.h"

namespace {

namespace fs = std::filesystem;

// The members of one truth.json entry the checks depend on; absent (null)
// values are what the reader leaves in a reset record: 0 or "".
struct Truth {
  bool readable = true;  // ExifTool found an EXIF block
  long long width = 0, height = 0, focalLength35mm = 0;
  std::string make;
  double latitude = 0, longitude = 0, altitude = 0;
};

// truth.json is written one member per line; this reads the members above
// from the entries under "cameras/".
std::map<std::string, Truth> readTruth(const std::string& path) {
  const std::optional<std::string> text = readFileBytes(path);
  std::map<std::string, Truth> truth;
  if (!text) return truth;
  const std::regex entry(R"re(^ "([^"]+)": \{$)re");
  const std::regex member(R"re(^  "(\w+)": (.*?),?$)re");
  Truth* current = nullptr;
  std::size_t start = 0;
  while (start < text->size()) {
    std::size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    const std::string line = text->substr(start, end - start);
    start = end + 1;
    std::smatch m;
    if (std::regex_match(line, m, entry)) {
      const std::string key = m[1];
      const std::string folder = "cameras/";
      current =
          key.compare(0, folder.size(), folder) == 0 ? &truth[key.substr(folder.size())] : nullptr;
    } else if (current != nullptr && std::regex_match(line, m, member)) {
      const std::string name = m[1];
      const std::string value = m[2];
      if (value == "null") {
        if (name == "byteOrder") current->readable = false;
        continue;
      }
      if (name == "make") current->make = value.substr(1, value.size() - 2);
      if (name == "exifImageWidth") current->width = std::stoll(value);
      if (name == "exifImageHeight") current->height = std::stoll(value);
      if (name == "focalLength35mm") current->focalLength35mm = std::stoll(value);
      if (name == "gpsLatitude") current->latitude = std::stod(value);
      if (name == "gpsLongitude") current->longitude = std::stod(value);
      if (name == "gpsAltitude") current->altitude = std::stod(value);
    }
  }
  return truth;
}

// Where the reader and ExifTool read a photo differently, by design of the
// reader (see the corpus README, "Reading the truth").
void applyReaderDifferences(std::map<std::string, Truth>& truth) {
  // The reader takes the first APP1 segment, here XMP; the EXIF block comes
  // in a later APP1, so the photo is unreadable.
  truth["no_exif.jpg"].readable = false;
  // Pixel size stored as SLONG; the reader takes SHORT and LONG only.
  for (const char* name : {"Sony_alpha_a58.JPG", "nikon_D3100_TypeError.jpg"}) {
    truth[name].width = 0;
    truth[name].height = 0;
  }
  // 35 mm focal length stored as LONG; the reader takes the SHORT of the
  // EXIF standard only.
  truth["go-exif_gps.jpg"].focalLength35mm = 0;
  // GPS coordinates stored as text; the reader takes rationals only.
  truth["geodegrees_as_string.jpg"].latitude = 0;
  truth["geodegrees_as_string.jpg"].longitude = 0;
}

using Names = std::set<std::string>;

// The consistency comparison over keys: every photo whose key is not the
// key of the largest group (the first in byte order among equally large).
Names outsideLargestGroup(const std::map<std::string, std::string>& keyOf) {
  std::map<std::string, std::size_t> sizes;
  for (const auto& [name, key] : keyOf) ++sizes[key];
  const auto largest = std::max_element(
      sizes.begin(), sizes.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  Names names;
  for (const auto& [name, key] : keyOf) {
    if (key != largest->first) names.insert(name);
  }
  return names;
}

// The names the console lists as reported between `startLine` and the next
// check's start line (or the end).
Names reportedIn(const std::string& out, const std::string& startLine, const std::string& next) {
  const std::size_t begin = out.find(startLine + "\n");
  const std::size_t end = next.empty() ? out.size() : out.find(next + "\n", begin);
  const std::string prefix = texts::kErrorImageName;
  Names names;
  std::size_t at = out.find(prefix, begin);
  while (at != std::string::npos && at < end) {
    const std::size_t nameStart = at + prefix.size();
    names.insert(out.substr(nameStart, out.find('\n', nameStart) - nameStart));
    at = out.find(prefix, nameStart);
  }
  return names;
}

// Lists the photos reported but not expected and those expected but not
// reported.
void expectSameNames(const Names& reported, const Names& expected, const char* check) {
  std::string extra, missing;
  for (const std::string& name : reported) {
    if (expected.count(name) == 0) extra += " " + name;
  }
  for (const std::string& name : expected) {
    if (reported.count(name) == 0) missing += " " + name;
  }
  EXPECT_TRUE(extra.empty() && missing.empty())
      << check << ": reported, not expected:" << extra << "; expected, not reported:" << missing;
}

TEST(CorpusRun, VerdictsAgreeWithTheTruthFile) {
  const std::string shared = sharedFolder();
  const std::string cameras = shared + "/corpus/cameras";
  if (shared.empty() || !fs::is_directory(cameras)) {
    GTEST_SKIP() << "the shared corpus (corpus/cameras) is not there";
  }
  std::map<std::string, Truth> truth = readTruth(shared + "/corpus/truth.json");
  ASSERT_EQ(truth.size(), 114u);
  applyReaderDifferences(truth);

  Names unreadable, noFocalLength, noPosition;
  std::map<std::string, std::string> resolutionKey, makerKey;
  for (const auto& [name, t] : truth) {
    if (!t.readable) {
      unreadable.insert(name);
      continue;
    }
    resolutionKey[name] = std::to_string(t.width) + "*" + std::to_string(t.height);
    makerKey[name] = t.make;
    if (t.focalLength35mm == 0) noFocalLength.insert(name);
    const bool inRange =
        t.longitude >= -180 && t.longitude <= 180 && t.latitude >= -90 && t.latitude <= 90;
    const bool allZero = t.latitude == 0 && t.longitude == 0 && t.altitude == 0;
    if (!inRange || allZero) noPosition.insert(name);
  }
  auto withUnreadable = [&unreadable](Names names) {
    names.insert(unreadable.begin(), unreadable.end());
    return names;
  };

  TempFolder root;
  const e2e::PhotoRun r = e2e::runOn(root, cameras, root / "out");
  EXPECT_EQ(r.run.status, 1);
  // Read the console as lines ending in a line feed, whatever the platform.
  std::string out;
  for (std::size_t i = 0; i < r.run.out.size(); ++i) {
    if (r.run.out.compare(i, kLineEnd.size(), kLineEnd) == 0) {
      out += '\n';
      i += kLineEnd.size() - 1;
    } else {
      out += r.run.out[i];
    }
  }
  expectSameNames(reportedIn(out, texts::kStartResolution, texts::kStartCameraMaker),
                  withUnreadable(outsideLargestGroup(resolutionKey)), "resolution");
  expectSameNames(reportedIn(out, texts::kStartCameraMaker, texts::kStartFocalLength),
                  withUnreadable(outsideLargestGroup(makerKey)), "camera maker");
  expectSameNames(reportedIn(out, texts::kStartFocalLength, texts::kStartGps),
                  withUnreadable(noFocalLength), "focal length");
  expectSameNames(reportedIn(out, texts::kStartGps, ""), withUnreadable(noPosition), "GPS");
}

}  // namespace
