// The check pass shared by the four image checks.
//
// A pass walks the image list once: for each path it prints a header line
// with a running number, derives a value text from what was read of the
// image (or "error" when the file cannot be read or decoded) and files the
// image in the value groups under that text. After the last image it lists
// the groups and reports the images in error by the check's rule (see
// checks/check_table.h).
//
// The first pass of a run reads and decodes every image (ahead of its
// printing, several at a time: reading/read_ahead.h) and keeps the facts of
// each; the later passes read nothing.
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
#include "reading/image_facts.h"
#include "reading/read_ahead.h"

// Value text -> the images that gave it (their positions in the image list),
// in the order the pass met them. std::string compares as unsigned bytes and
// the shorter of two texts with a common prefix first, which is the byte-wise
// order the listing follows.
using ValueGroups = std::map<std::string, std::vector<std::size_t>>;

// The value text of an image whose EXIF data cannot be read.
inline constexpr char kErrorKey[] = "error";

// What one pass found, kept for a caller that shows it again (the HTML page):
// every value group, the "error" group included, and the images it reported
// (their positions in the image list), in the order it reported them.
struct CheckOutcome {
  ValueGroups groups;
  std::vector<std::size_t> reported;
};

// Runs one whole check: start line, per-image loop, listing and reporting.
// `facts` is what was read of each image: empty before the run's first pass,
// which fills it, one entry per image after that. When `outcome` is given it
// receives the groups and the reported images.
void runCheckPass(const CheckRow& check, const std::vector<platform::FilePath>& images,
                  std::vector<ImageFacts>& facts, std::vector<std::string>& findings,
                  bool& errorFlag, CheckOutcome* outcome = nullptr);

// The per-image loop alone: prints the start line and the header lines and
// returns the filled value groups. When `facts` does not hold one entry per
// image yet, the images are read (with `limits`) as the loop goes and `facts`
// is filled.
ValueGroups fileImages(const CheckRow& check, const std::vector<platform::FilePath>& images,
                       std::vector<ImageFacts>& facts, ReadAheadLimits limits = {});

// The two reporting rules, over filled value groups of `images`. The
// consistency comparison drops the "error" group from `groups`. Each reported
// image's position is appended to `reported` when it is given.
void reportByConsistency(ValueGroups& groups, const std::vector<platform::FilePath>& images,
                         std::vector<std::string>& findings, bool& errorFlag,
                         std::vector<std::size_t>* reported = nullptr);
void reportMissingValues(const ValueGroups& groups, const std::vector<platform::FilePath>& images,
                         const std::string& missingValueKey, std::vector<std::string>& findings,
                         bool& errorFlag, std::vector<std::size_t>* reported = nullptr);

#endif  // PHOTOCHECK_CHECKS_CHECK_PASS_H
