// Whatever lies in the image folder, the run finishes, reports every file it
// could not check, and neither crashes nor hangs. The sanitizer build runs
// these against its own instrumented executable.
#include <filesystem>
#include <fstream>

#include "gtest/gtest.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/corpus_truth.h"

namespace {

namespace fs = std::filesystem;
using e2e::Photo;
using e2e::PhotoRun;
using e2e::Switches;

const Switches kGpsOnly{false, false, false, true};

// A file of 4 GiB or more is filed under "error" at once: the size alone
// rules it out, so nothing of it is read (the files are sparse and would take
// minutes to read).
TEST(Hostile, FilesOf4GiBOrMoreAreErrorsWithoutBeingRead) {
  TempFolder root;
  const std::string images = root / "images";
  e2e::writePhoto(images + "/a.jpg", Photo{});
  for (const auto& [name, size] : {std::pair<const char*, std::uintmax_t>{"b-4gib.jpg", 1ull << 32},
                                   {"c-5gib.jpg", 5ull << 30}}) {
    std::ofstream(images + "/" + name).close();
    fs::resize_file(images + "/" + name, size);
  }
  const PhotoRun r = e2e::runOn(root, images, root / "out", kGpsOnly);
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(
      r.report,
      e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, {"b-4gib.jpg", "c-5gib.jpg"})}));
}

#ifndef _WIN32
// Names that a careless tool would mangle: a leading dash (an option to many
// tools), bytes that are not UTF-8, a lone high byte, quotes and separators of
// the other platform. All go out byte for byte on the console and, escaped as
// JSON needs, in error.json, in the byte order of the names.
TEST(Hostile, OddNamesPassThroughByteForByte) {
  TempFolder root;
  const std::string images = root / "images";
  const std::vector<std::pair<std::string, std::string>> names = {
      {"\"quoted\"", "\\\"quoted\\\""},
      {"--help", "--help"},
      {"-x.jpg", "-x.jpg"},
      {"a\\b\\c.jpg", "a\\\\b\\\\c.jpg"},
      {"cr\r", "cr\\r"},
      {"\xc3\x28 broken utf-8", "\xc3\x28 broken utf-8"},
      {"\xff", "\xff"},
  };
  std::vector<std::string> json;
  for (const auto& [name, escaped] : names) {
    writeFileBytes(images + "/" + name, "not a photo");
    json.push_back(escaped);
  }
  const PhotoRun r = e2e::runOn(root, images, root / "out", kGpsOnly);
  EXPECT_EQ(r.run.status, 1);
  const std::string report = e2e::jsonReport({e2e::jsonGroup(104, texts::kGpsDescription, json)});
  EXPECT_EQ(r.report, report);
  EXPECT_EQ(e2e::lastLine(r.run.out), report);
  std::vector<std::string> raw;
  for (const auto& entry : names) raw.push_back(entry.first);
  EXPECT_NE(r.run.out.find(e2e::listing("error", names.size()) + e2e::groupReport(raw)),
            std::string::npos);
}
#endif

// The real damaged files of the shared corpus (truncated, fuzzed, not JPEG at
// all, offsets near 2^32, directory loops) go through all four checks to the
// end; the report is one line and matches the console.
TEST(Hostile, DamagedCorpusFilesRunToTheEnd) {
  const std::string corpus = corpusFolder();
  if (corpus.empty()) GTEST_SKIP() << corpusMissing();
  const std::string hostile = corpus + kSep + "hostile";
  std::size_t fileCount = 0;
  for (const auto& entry : fs::directory_iterator(hostile)) fileCount += entry.is_regular_file();

  TempFolder root;
  const PhotoRun r = e2e::runOn(root, hostile, root / "out");
  EXPECT_EQ(r.run.status, 1);
  EXPECT_EQ(r.run.err, "");
  const std::string count = texts::kImageCount + std::to_string(fileCount) + kLineEnd.data();
  std::size_t counts = 0;
  for (std::size_t at = r.run.out.find(count); at != std::string::npos;
       at = r.run.out.find(count, at + 1)) {
    ++counts;
  }
  EXPECT_EQ(counts, 4u);
  ASSERT_TRUE(r.report.has_value());
  EXPECT_EQ(e2e::lastLine(r.run.out), *r.report);
  EXPECT_EQ(r.report->rfind("{\"errors\":[{\"errcode\":101,", 0), 0u);
}

}  // namespace
