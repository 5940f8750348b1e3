// The pieces the page is made of, shared by the files that write them:
// page_text.cc (head, header, settings, the whole), page_lists.cc (the counts,
// the flagged table and the checks' groups), page_readiness.cc (the
// readiness verdict and findings) and page_map.cc (the map).
//
// Every piece reaches the images through PageData's pathOf and factsOf, and
// writes into PageOut, which hands the text on in pieces so that the page
// of a large set is never held whole.
#ifndef PHOTOCHECK_PAGE_PAGE_PARTS_H
#define PHOTOCHECK_PAGE_PAGE_PARTS_H

#include <array>
#include <cstddef>
#include <string>

#include "checks/check_pass.h"
#include "checks/check_table.h"
#include "page/page_text.h"
#include "platform/platform.h"
#include "reading/image_facts.h"

// The page's text so far, handed to `write` whenever it holds a piece's worth.
struct PageOut {
  std::string text;
  const platform::TextPieceWriter& write;
  bool failed = false;

  // Hands the text on once it is a piece's worth (about 64 KiB).
  void handOnWhenFull();
  // Hands on what is left; false when any piece could not be written.
  bool finish();
};

// A long list is sent in parts: its first kShownRows rows as markup, the
// rest as the text of raw-text parts of kPartRows rows
//   <script type=text/html class=part><li data-i=N>...</li>...</script>
// which the browser neither parses into elements nor lays out, so that a
// list of thousands costs the page's load little (its rows' text holds no
// '<' of a name, which html_text escapes, so no "</script" ends a part
// early). The script makes a part's rows when "show more" is pressed after
// the list, or when a row in it is wanted (a dot was clicked).
struct ListParts {
  static constexpr std::size_t kShownRows = 50;
  static constexpr std::size_t kPartRows = 500;
  std::size_t rows = 0;

  // Before each row: opens a part where one starts.
  void beforeRow(std::string& page);
  // After the last row: closes the last part.
  void endRows(std::string& page) const;
  // After the list's end: the "show more" button, where rows were held back.
  void appendMore(std::string& page) const;
};

struct PageData {
  const PageInput& input;
  std::size_t imageCount;

  // The image's path below the image folder, in UTF-8 ('/' between names).
  std::string pathOf(std::size_t image) const;
  // What was read of the image; null where no check ran.
  const ImageFacts* factsOf(std::size_t image) const;
  bool ran(std::size_t row) const { return input.outcomes[row] != nullptr; }
  // True when the photo has the position the GPS check uses: it is on the map.
  bool positioned(std::size_t image) const;
  // True when check row `row` flagged the image.
  bool flaggedBy(std::size_t image, std::size_t row) const;
  // True when any check that ran flagged the image.
  bool flagged(std::size_t image) const;
  // What the readiness analyses measured of the image; null without them.
  const readiness::PhotoReadiness* readinessOf(std::size_t image) const;
};

// The check colours, in check row order.
extern const std::array<const char*, kCheckCount> kCheckColours;
// The flights' colours on the map, taken in turn.
extern const std::array<const char*, 8> kFlightColours;

void appendNumber(std::string& page, long long number);
// Degrees with six places, written by hand: the C runtime's locale is the user's.
void appendDegrees(std::string& page, double degrees);
// "2024-05-17 10:42:07"
void appendCaptureTime(std::string& page, const CaptureTime& time);
// The image's path as HTML text.
void appendPath(std::string& page, const PageData& data, std::size_t image);
// A coloured dot for check row `row` (or grey: kCheckCount).
void appendKey(std::string& page, std::size_t row);

// The counts per check and the table of flagged photos.
void appendSummary(PageOut& out, const PageData& data);
void appendFlaggedTable(PageOut& out, const PageData& data);
// The SVG map, its legend and the list of photos without a position.
void appendMap(PageOut& out, const PageData& data);
// The readiness verdict (in the header) and the findings with their photos;
// nothing without a readiness result.
void appendReadinessVerdict(std::string& page, const PageData& data);
void appendReadinessFindings(PageOut& out, const PageData& data);
// Each check's value groups with their photos.
void appendChecks(PageOut& out, const PageData& data);

#endif  // PHOTOCHECK_PAGE_PAGE_PARTS_H
