// The shared corpus of real photos and what ExifTool read from its camera
// photos (corpus/truth.json), together with the one table of photos that our
// reader, behaving as designed, reads otherwise.
//
// The corpus lies in corpus/ of the shared folder: $PHOTOCHECK_SHARED when
// set, else the folder "shared" beside the checkout. Tests that need it skip
// with corpusMissing() when it is not there.
#ifndef PHOTOCHECK_TESTS_SUPPORT_CORPUS_TRUTH_H
#define PHOTOCHECK_TESTS_SUPPORT_CORPUS_TRUTH_H

#include <optional>
#include <string>
#include <vector>

// The corpus folder, or empty when it is not there.
std::string corpusFolder();
// The message a test skips with when corpusFolder() is empty.
std::string corpusMissing();

// The members of one truth.json entry that our reader yields too. A member
// that is null in truth.json (ExifTool did not report the tag) is empty here.
struct TruthValues {
  std::optional<std::string> byteOrder;  // "II" or "MM"; empty: no EXIF block
  std::optional<std::string> make;
  std::optional<double> exifImageWidth;
  std::optional<double> exifImageHeight;
  std::optional<double> focalLength35mm;
  std::optional<double> gpsAltitude;
  std::optional<double> gpsLatitude;
  std::optional<double> gpsLongitude;
  // How ExifTool's output was interpreted, e.g. "GPS:GPSAltitude is
  // reported as 'undef' (no number)": a null here is not an absent tag.
  std::vector<std::string> notes;
};

// The numeric members by their truth.json name, with the ExifTool tag name
// that a note mentions.
struct TruthNumber {
  const char* member;
  const char* tagName;
  // clang-format 14 and 19 space a member pointer differently.
  // clang-format off
  std::optional<double> TruthValues::*value;
  // clang-format on
};
inline constexpr TruthNumber kTruthNumbers[] = {
    {"exifImageWidth", "ExifImageWidth", &TruthValues::exifImageWidth},
    {"exifImageHeight", "ExifImageHeight", &TruthValues::exifImageHeight},
    {"focalLength35mm", "FocalLengthIn35mmFormat", &TruthValues::focalLength35mm},
    {"gpsAltitude", "GPSAltitude", &TruthValues::gpsAltitude},
    {"gpsLatitude", "GPSLatitude", &TruthValues::gpsLatitude},
    {"gpsLongitude", "GPSLongitude", &TruthValues::gpsLongitude},
};

// A photo where our reader differs from ExifTool by design. `ours` is a JSON
// object in truth.json's terms holding just the members our reader reads
// otherwise ("byteOrder": null: it finds no EXIF block).
struct KnownDifference {
  const char* key;  // as truth.json names the photo
  const char* ours;
  const char* reason;
};
// Every known difference, in key order.
const std::vector<KnownDifference>& knownDifferences();

struct CorpusPhoto {
  std::string key;       // "cameras/<file name>", as truth.json names it
  TruthValues exifTool;  // the entry as ExifTool read it
  TruthValues ours;      // what our reader reads: exifTool with the known difference applied
  const KnownDifference* difference = nullptr;  // the photo's row of the table, if it has one
  std::string differingMembers;                 // that row's members, sorted, space-separated
};

struct CorpusTruth {
  std::vector<CorpusPhoto> cameras;  // the entries under "cameras/", in key order
  std::string error;                 // why truth.json could not be taken; empty when it was
};

// Reads `corpus`/truth.json and applies the known differences. A row of the
// table that names no entry or a member of no meaning here is an error, so
// the table cannot go stale unnoticed.
CorpusTruth readCorpusTruth(const std::string& corpus);

#endif  // PHOTOCHECK_TESTS_SUPPORT_CORPUS_TRUTH_H
