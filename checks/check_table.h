// One row per check: everything that makes "the GPS check" what it is, in one
// place. The run flow walks the rows to run the switched-on checks, the error
// report walks them to write its groups; a fifth check is a fifth row (and
// its value-text function and findings list).
#ifndef PHOTOCHECK_CHECKS_CHECK_TABLE_H
#define PHOTOCHECK_CHECKS_CHECK_TABLE_H

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "checks/check_findings.h"

struct ImageFacts;

// Derives the value text of a decoded image. Returns false when the image is
// in order and is not filed at all (the GPS check's images with a position).
// It may take out of `facts` what no other check uses (the maker text), so
// that a text as long as the photo is never held twice: each check runs at
// most once per run.
using ValueTextOf = bool (*)(const ImageFacts& facts, std::string& valueText);

// How a check picks the images it reports once every image is filed:
//
//   consistency comparison (resolution, camera maker): the "error" group is
//     listed and reported and then dropped; every other group is listed in key
//     order; the largest of them (the first in key order among equally large
//     ones) is the reference, and every other group is reported. When nothing
//     is reported there, one "group error count 0" line says so.
//   missing-value report (focal length, GPS): every group is listed in key
//     order, and the group of the missing-value key and the "error" group are
//     reported right after their listing.
enum class ReportingRule { consistencyComparison, missingValueReport };

struct CheckRow {
  // Where its switch stands among the settings values in ascending key order.
  std::size_t settingsPosition;
  const char* startLine;   // printed before the check's pass
  const char* headerText;  // printed before each image's running number
  ValueTextOf valueTextOf;
  ReportingRule rule;
  const char* missingValueKey;  // used by the missing-value report only
  int errorCode;                // its group in error.json
  const char* description;      // that group's "error_des"
  // The list it fills. (clang-format 14 and 19 space a member pointer
  // differently; the line is left as it is for both.)
  // clang-format off
  std::vector<std::string> CheckFindings::*findings;
  // clang-format on
};

inline constexpr std::size_t kCheckCount = 4;

// Resolution, camera maker, focal length, GPS: the order the checks run in,
// which is also the order of their groups in error.json.
extern const std::array<CheckRow, kCheckCount> kCheckRows;

// One error flag per row: set exactly when the check reported an image.
using CheckFlags = std::array<bool, kCheckCount>;

#endif  // PHOTOCHECK_CHECKS_CHECK_TABLE_H
