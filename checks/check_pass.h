// The check pass shared by the four image checks.
//
// A pass walks the image list once: for each path it prints a header line
// with a running number, reads the file through the platform layer, decodes
// it into a fresh ExifRecord, derives a value text from the record (or
// "error" when the file cannot be read or decoded) and files the path in the
// value groups under that text. After the last image it lists the groups and
// reports the images in error by the check's rule (see checks/check_table.h).
//
// Reporting a group prints each of its images and appends their bare file
// names to the check's findings list and sets the check's error flag.
#ifndef PHOTOCHECK_CHECKS_CHECK_PASS_H
#define PHOTOCHECK_CHECKS_CHECK_PASS_H

#include <map>
#include <string>
#include <vector>

#include "checks/check_table.h"
#include "platform/platform.h"

// Value text -> the image paths that gave it, in the order the pass met them.
// std::string compares as unsigned bytes and the shorter of two texts with a
// common prefix first, which is the byte-wise order the listing follows.
using ValueGroups = std::map<std::string, std::vector<std::string>>;

// The value text of an image whose EXIF data cannot be read.
inline constexpr char kErrorKey[] = "error";

// Runs one whole check: start line, per-image loop, listing and reporting.
void runCheckPass(const CheckRow& check, const std::vector<platform::FilePath>& images,
                  std::vector<std::string>& findings, bool& errorFlag);

// The per-image loop alone: prints the start line and the header lines and
// returns the filled value groups.
ValueGroups fileImages(const CheckRow& check, const std::vector<platform::FilePath>& images);

// The two reporting rules, over filled value groups. The consistency
// comparison drops the "error" group from `groups`.
void reportByConsistency(ValueGroups& groups, std::vector<std::string>& findings, bool& errorFlag);
void reportMissingValues(const ValueGroups& groups, const std::string& missingValueKey,
                         std::vector<std::string>& findings, bool& errorFlag);

#endif  // PHOTOCHECK_CHECKS_CHECK_PASS_H
