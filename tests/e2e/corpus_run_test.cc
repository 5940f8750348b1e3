// One run of the tool over the shared folder of real camera photos, with all
// four checks on. Which photos each check reports must agree with what
// ExifTool's reading of them (corpus/truth.json, less the reader's known
// differences) implies under the checks' rules. Skipped when the shared
// corpus is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "console/console_texts.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/corpus_truth.h"
#include "tests/support/expected_console.h"

namespace {

namespace fs = std::filesystem;

// The members of one truth.json entry the checks depend on; absent (null)
// values are what the reader leaves in a reset record: 0 or "".
struct Truth {
  bool readable = true;  // the reader finds an EXIF block
  long long width = 0, height = 0, focalLength35mm = 0;
  std::string make;
  double latitude = 0, longitude = 0, altitude = 0;
};

// The camera photos of truth.json by file name, as our reader reads them
// (ExifTool's values with the known differences of corpus_truth.cc applied).
std::map<std::string, Truth> truthByName(const CorpusTruth& corpus) {
  std::map<std::string, Truth> truth;
  const std::string folder = "cameras/";
  for (const CorpusPhoto& photo : corpus.cameras) {
    const TruthValues& v = photo.ours;
    Truth& t = truth[photo.key.substr(folder.size())];
    t.readable = v.byteOrder.has_value();
    t.width = static_cast<long long>(v.exifImageWidth.value_or(0));
    t.height = static_cast<long long>(v.exifImageHeight.value_or(0));
    t.focalLength35mm = static_cast<long long>(v.focalLength35mm.value_or(0));
    t.make = v.make.value_or("");
    t.latitude = v.gpsLatitude.value_or(0);
    t.longitude = v.gpsLongitude.value_or(0);
    t.altitude = v.gpsAltitude.value_or(0);
  }
  return truth;
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
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  const std::string cameras = corpus + kSep + "cameras";
  const CorpusTruth corpusTruth = readCorpusTruth(corpus);
  ASSERT_EQ(corpusTruth.error, "");
  const std::map<std::string, Truth> truth = truthByName(corpusTruth);
  ASSERT_EQ(truth.size(), 114u);

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
  const std::string out = asLineFeeds(r.run.out);
  expectSameNames(reportedIn(out, texts::kStartResolution, texts::kStartCameraMaker),
                  withUnreadable(outsideLargestGroup(resolutionKey)), "resolution");
  expectSameNames(reportedIn(out, texts::kStartCameraMaker, texts::kStartFocalLength),
                  withUnreadable(outsideLargestGroup(makerKey)), "camera maker");
  expectSameNames(reportedIn(out, texts::kStartFocalLength, texts::kStartGps),
                  withUnreadable(noFocalLength), "focal length");
  expectSameNames(reportedIn(out, texts::kStartGps, ""), withUnreadable(noPosition), "GPS");
}

}  // namespace
