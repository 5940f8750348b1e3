// The check pass shared by the four image checks.
//
// A pass walks the image list once: for each path it prints a header line
// with a running number, reads the file through the platform layer, decodes
// it into a fresh ExifRecord, derives a value text from the record (or
// "error" when the file cannot be read or decoded) and files the path in the
// value groups under that text. After the last image it lists the groups and
// reports the images in error by one of two rules:
//
//   consistency comparison (resolution, camera maker): the "error" group is
//     listed and reported and then dropped; every other group is listed in key
//     order; the largest of them (the first in key order among equally large
//     ones) is the reference, and every other group is reported. When nothing
//     is reported there, one "group error count 0" line says so.
//   missing-value report (focal length, GPS): every group is listed in key
//     order, and the group of the missing-value key and the "error" group are
//     reported right after their listing.
//
// Reporting a group prints each of its images and appends their bare file
// names to the check's findings list and sets the check's error flag.
#ifndef PHOTOCHECK_CHECKS_CHECK_PASS_H
#define PHOTOCHECK_CHECKS_CHECK_PASS_H

#include <map>
#include <string>
#include <vector>

#include "exif/exif_record.h"

// Value text -> the image paths that gave it, in the order the pass met them.
// std::string compares as unsigned bytes and the shorter of two texts with a
// common prefix first, which is the byte-wise order the listing follows.
using ValueGroups = std::map<std::string, std::vector<std::string>>;

// The value text of an image whose EXIF data cannot be read.
inline constexpr char kErrorKey[] = "error";

// Derives the value text of a decoded image. Returns false when the image is
// in order and is not filed at all (the GPS check's images with a position).
using ValueTextOf = bool (*)(const ExifRecord& record, std::string& valueText);

enum class ReportingRule { consistencyComparison, missingValueReport };

// What sets one check apart from the others.
struct CheckKind {
  const char* headerText;  // printed before each image's running number
  ValueTextOf valueTextOf;
  ReportingRule rule;
  const char* missingValueKey;  // used by the missing-value report only
};

// Runs one whole check: start line, per-image loop, listing and reporting.
void runCheckPass(const CheckKind& kind, const std::vector<std::string>& images,
                  std::vector<std::string>& findings, bool& errorFlag);

// The per-image loop alone: prints the start line and the header lines and
// returns the filled value groups.
ValueGroups fileImages(const CheckKind& kind, const std::vector<std::string>& images);

// The two reporting rules, over filled value groups. The consistency
// comparison drops the "error" group from `groups`.
void reportByConsistency(ValueGroups& groups, std::vector<std::string>& findings, bool& errorFlag);
void reportMissingValues(const ValueGroups& groups, const std::string& missingValueKey,
                         std::vector<std::string>& findings, bool& errorFlag);

// The bare file name of a path: forward slashes count as backslashes, and the
// name is the text after the last of them (the whole path when there is none).
std::string fileNameOf(const std::string& path);

#endif  // PHOTOCHECK_CHECKS_CHECK_PASS_H
