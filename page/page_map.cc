// The page's map: a canvas the page's script draws from the map's data (one
// dot per photo with a position, a line through them in capture order, a
// scale bar and a north arrow; with readiness each photo's footprint in its
// flight's colour, the coverage gaps outlined, the line broken between
// lines), zooms and pans; beside it the details of a
// clicked dot and the photos that have no position. A canvas, not an SVG
// element per photo: twenty thousand elements took Chromium seconds to lay
// out and paint.
#include <cstddef>
#include <cstdint>

#include "checks/value_texts.h"
#include "page/map_data.h"
#include "page/map_layout.h"
#include "page/page_parts.h"
#include "page/page_words.h"

namespace {

void appendLegend(std::string& page, const PageData& data, std::size_t placedCount) {
  page += "<p>";
  appendNumber(page, static_cast<long long>(placedCount));
  page += ' ';
  appendWord(page, Word::positionedPhotos);
  page += ".<br><span class=hint>";
  appendWord(page, Word::mapHint);
  page += "</span> <button id=reset type=button>";
  appendWord(page, Word::resetView);
  page += "</button></p>\n<p>";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    // A photo the GPS check flags has no position: it cannot be on the map.
    if (!data.ran(c) || kCheckRows[c].valueTextOf == gpsValueText) continue;
    appendKey(page, c);
    appendWord(page, checkWord(c));
    page += " &nbsp; ";
  }
  appendKey(page, kCheckCount);
  appendWord(page, Word::passed);
  page += " &nbsp; (";
  appendWord(page, Word::ringMeans);
  page += ')';
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (!data.ran(c) || kCheckRows[c].valueTextOf != gpsValueText) continue;
    page += "<br>";
    appendWord(page, Word::gpsNotOnMap);
  }
  if (data.input.readiness != nullptr) {
    // Each flight's colour (up to the colours there are; then they repeat).
    page += "<br>";
    const std::uint32_t flights = data.input.readiness->flightCount;
    for (std::uint32_t flight = 0; flight < flights && flight < kFlightColours.size(); ++flight) {
      page += "<span class=key style=\"border-radius:0;background:";
      page += kFlightColours[flight];
      page += "\"></span>";
      appendWord(page, Word::flight);
      page += ' ';
      appendNumber(page, static_cast<long long>(flight) + 1);
      page += " &nbsp; ";
    }
    appendWord(page, Word::footprintLegend);
    page += "<br>";
    appendWord(page, Word::coverageLegend);
  }
  page += "</p>\n";
}

// Beside the map: the clicked dot's details, then the photos without a
// position.
void appendSide(PageOut& out, const PageData& data, std::size_t placedCount) {
  out.text += "<div class=side><div id=info>";
  appendWord(out.text, Word::photoDetails);
  out.text += "</div>\n<h3>";
  appendWord(out.text, Word::withoutPosition);
  out.text += ": ";
  appendNumber(out.text, static_cast<long long>(data.imageCount - placedCount));
  out.text += "</h3>\n<ol>\n";
  ListParts parts;
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (data.positioned(image)) continue;
    parts.beforeRow(out.text);
    out.text += "<li data-i=";
    appendNumber(out.text, static_cast<long long>(image));
    out.text += '>';
    appendPath(out.text, data, image);
    out.text += "</li>\n";
    out.handOnWhenFull();
  }
  parts.endRows(out.text);
  out.text += "</ol>";
  parts.appendMore(out.text);
  out.text += "</div>\n";
}

}  // namespace

void appendMap(PageOut& out, const PageData& data) {
  const MapLayout map = layoutOf(data);
  // With readiness, a set without any position gets no empty map: its
  // heading, legend and canvas are kept out of sight (the script still finds
  // them), the list of photos without a position stays.
  out.text +=
      data.input.readiness != nullptr && map.placed.empty() ? "<div class=nomap>\n<h2>" : "<h2>";
  appendWord(out.text, Word::map);
  out.text += "</h2>\n";
  appendLegend(out.text, data, map.placed.size());
  // The canvas keeps the drawing's shape; the script sizes its pixels to
  // the box it is given and draws.
  out.text += "<div class=map>\n<canvas id=m width=1000 height=";
  appendNumber(out.text, map.height);
  out.text += " style=\"aspect-ratio:1000/";
  appendNumber(out.text, map.height);
  out.text += "\"></canvas>\n";
  appendMapData(out, data, map);
  appendSide(out, data, map.placed.size());
  out.text += "</div>\n";
  if (data.input.readiness != nullptr && map.placed.empty()) out.text += "</div>\n";
}
