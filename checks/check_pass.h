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
// printing, several at a time: reading/read_ahead.h) and keeps, for each
// check that runs after it, the value text of each image (see KeptImages);
// the later passes read nothing.
//
// Reporting a group prints each of its images and appends their bare file
// names to the check's findings list and sets the check's error flag.
#ifndef PHOTOCHECK_CHECKS_CHECK_PASS_H
#define PHOTOCHECK_CHECKS_CHECK_PASS_H

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "checks/check_table.h"
#include "platform/path_list.h"
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

// What one pass found, for a caller that shows it again after the run (the
// HTML page): every value group, the "error" group included, and the images
// it reported (their positions in the image list), in list order.
struct CheckOutcome {
  ValueGroups groups;
  std::vector<std::size_t> reported;
};

// One later check's value texts of every image, made by the run's first
// pass while each image's facts were at hand: each text once, and per image
// the number of its text (kNotFiled for an image the check does not file).
// Four bytes an image, where the facts were some eighty.
struct KeptValues {
  static constexpr std::uint32_t kNotFiled = 0xFFFFFFFF;
  const CheckRow* check = nullptr;
  std::vector<std::string> texts;
  std::vector<std::uint32_t> ofImage;
};

// What the run's first pass keeps of the images for the passes after it.
struct KeptImages {
  // Set before the first pass: the checks that run after it, and whether
  // every image's facts are kept whole (for the page).
  std::vector<const CheckRow*> laterChecks;
  bool keepFacts = false;
  // Filled by the first pass: whether it ran, the facts when kept (one per
  // image), the value texts of each later check (taken by its pass).
  bool read = false;
  std::vector<ImageFacts> facts;
  std::vector<KeptValues> values;
  // With the facts: the model and serial texts their flight facts number.
  std::unique_ptr<FlightTexts> flightTexts;
  // Memory ran short while the facts were kept (for their room, for a read,
  // for filing an image): they were let go and no more were kept, so that
  // the run went on as one that never kept them. The side files are then
  // only told as not written.
  bool factsDropped = false;
};

// From the end of the first pass until the side files are made, only the
// calling thread runs: memory that runs short anywhere then (a later pass's
// groups, the report) is first taken from `kept`'s facts, let go as a
// shortage during the first pass lets them go, and the allocation is tried
// again, so the run ends as one that never kept them. With null, or once the
// facts are gone, a shortage throws std::bad_alloc as usual. Not for a time
// when other threads allocate.
void letFactsGoWhenShort(KeptImages* kept);

// Where a pass notes each image it reports: bit `bit` of the image's
// ImageFacts::flaggedBy. It takes no memory, so that what is kept of a pass
// for the side files can never make the run itself run short.
struct ReportMarks {
  std::vector<ImageFacts>* facts = nullptr;  // null: nothing to mark
  std::uint8_t bit = 0;
};

// Runs one whole check: start line, per-image loop, listing and reporting.
// `kept` is what the run's first pass kept (nothing before it: this pass
// then reads the images and fills it). When the facts are kept, each
// reported image gets `flagBit` in its facts' flaggedBy.
void runCheckPass(const CheckRow& check, const platform::PathList& images, KeptImages& kept,
                  std::vector<std::string>& findings, bool& errorFlag, std::uint8_t flagBit = 0);

// The outcomes of the passes that ran (ran[i]: the pass of kCheckRows[i],
// with flag bit 1 << i), made again from the facts they left, in one walk
// over them: each pass's groups as it filed them and the images that carry
// its bit; nothing for a pass that did not run. May throw std::bad_alloc.
std::array<CheckOutcome, kCheckCount> outcomesOf(const CheckFlags& ran,
                                                 const std::vector<ImageFacts>& facts);

// The per-image loop alone: prints the start line and the header lines and
// returns the filled value groups. The images are read (with `limits`) as
// the loop goes unless `kept` holds this check's value texts or every
// image's facts; the first reading fills `kept`.
ValueGroups fileImages(const CheckRow& check, const platform::PathList& images, KeptImages& kept,
                       ReadAheadLimits limits = {});

// The two reporting rules, over filled value groups of `images`. The
// consistency comparison drops the "error" group from `groups`. Each reported
// image is noted in `marks`.
void reportByConsistency(ValueGroups& groups, const platform::PathList& images,
                         std::vector<std::string>& findings, bool& errorFlag,
                         ReportMarks marks = {});
void reportMissingValues(const ValueGroups& groups, const platform::PathList& images,
                         const std::string& missingValueKey, std::vector<std::string>& findings,
                         bool& errorFlag, ReportMarks marks = {});

#endif  // PHOTOCHECK_CHECKS_CHECK_PASS_H
