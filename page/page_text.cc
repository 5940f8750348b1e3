#include "page/page_text.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checks/value_texts.h"
#include "page/flat_projection.h"
#include "page/html_text.h"

namespace {

// The checks as the page names and colours them, in check row order.
constexpr std::array<const char*, kCheckCount> kCheckNames = {"resolution", "camera maker",
                                                              "focal length", "GPS"};
constexpr std::array<const char*, kCheckCount> kCheckColours = {"#d62728", "#1f77b4", "#ff7f0e",
                                                                "#9467bd"};

// The drawing's width in SVG units; the set's extent fills kMapSpan of it.
constexpr double kMapWidth = 1000;
constexpr double kMapSpan = 900;
constexpr double kMinimumExtent = 10;  // metres: one photo still gets a map

constexpr char kStyle[] =
    "body{font:14px sans-serif;margin:1em 2em;color:#222}"
    "h1.pass{color:#2a7d2a}h1.fail{color:#b00}"
    "table{border-collapse:collapse}td{padding:2px 8px;border-bottom:1px solid #ddd}"
    ".map{display:flex;gap:1em;align-items:flex-start}"
    "svg{border:1px solid #999;background:#fafafa;max-width:100%;height:auto}"
    ".t{fill:none;stroke:#ccc;stroke-width:1}"
    "circle{stroke:#fff;stroke-width:1}circle.p{fill:#999}"
    "circle.hl{stroke:#000;stroke-width:4;r:12}"
    ".side{min-width:14em;max-height:40em;overflow:auto}"
    "li[data-i]{cursor:pointer}li[data-i]:hover{text-decoration:underline}"
    "li.hl{background:#ff0}"
    ".key{display:inline-block;width:.8em;height:.8em;border-radius:50%;margin-right:.3em}";

// Highlights the dot of a name that is clicked (and the name itself).
constexpr char kScript[] =
    "document.addEventListener('click',function(e){"
    "var i=e.target.getAttribute('data-i');if(i===null)return;"
    "document.querySelectorAll('.hl').forEach(function(n){n.classList.remove('hl')});"
    "e.target.classList.add('hl');"
    "var d=document.getElementById('d'+i);"
    "if(d){d.classList.add('hl');d.parentNode.appendChild(d);"
    "d.scrollIntoView({block:'center',inline:'center'});}});";

void appendNumber(std::string& page, long long number) { page += std::to_string(number); }

// A signed decimal with six places, written by hand: the C runtime's locale
// is the user's and may put a comma there.
void appendDegrees(std::string& page, double degrees) {
  long long micro = std::llround(degrees * 1e6);
  if (micro < 0) {
    page += '-';
    micro = -micro;
  }
  appendNumber(page, micro / 1000000);
  std::string fraction = std::to_string(micro % 1000000);
  page += '.';
  page.append(6 - fraction.size(), '0');
  page += fraction;
}

// One check as the page needs it: the value text each image was filed
// under (null: not filed) and whether the check reported it.
struct CheckView {
  std::vector<const std::string*> valueOf;
  std::vector<bool> reported;
};

CheckView viewOf(const CheckOutcome& outcome, std::size_t imageCount) {
  CheckView view{std::vector<const std::string*>(imageCount, nullptr),
                 std::vector<bool>(imageCount, false)};
  for (const auto& [key, members] : outcome.groups) {
    for (const std::size_t image : members) {
      if (image < imageCount) view.valueOf[image] = &key;
    }
  }
  for (const std::size_t image : outcome.reported) {
    if (image < imageCount) view.reported[image] = true;
  }
  return view;
}

struct PageData {
  const PageInput& input;
  std::size_t imageCount;
  std::vector<std::string> names;  // each image's bare name, as HTML text
  std::array<CheckView, kCheckCount> views;
  std::vector<bool> positioned;
};

bool hasUsablePosition(const PageInput& input, std::size_t image) {
  if (input.facts == nullptr || input.facts->size() <= image) return false;
  const ImageFacts& facts = (*input.facts)[image];
  return facts.read == ImageRead::decoded && !isErrorImage(facts) && hasGpsPosition(facts);
}

void appendHead(std::string& page, const PageData& data) {
  page +=
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>photocheck: ";
  page += data.input.status == 0 ? "the set passed" : "the set failed";
  page += "</title>\n<style>";
  page += kStyle;
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    for (const char* suffix : {"", "m"}) {
      page += "circle.c";
      appendNumber(page, static_cast<long long>(c));
      page += suffix;
      page += "{fill:";
      page += kCheckColours[c];
      page += *suffix != '\0' ? ";stroke:#000;stroke-width:2}" : "}";
    }
  }
  page += "</style>\n</head>\n<body>\n";
}

void appendVerdict(std::string& page, const PageData& data) {
  const bool passed = data.input.status == 0;
  page += passed ? "<h1 class=pass>The set passed</h1>\n" : "<h1 class=fail>The set failed</h1>\n";
  page += "<p>";
  appendNumber(page, static_cast<long long>(data.imageCount));
  page += " images; exit status ";
  appendNumber(page, data.input.status);
  if (data.imageCount == 0) page += "; the image folder holds no file";
  page += ".</p>\n<h2>Settings</h2>\n<table>\n";
  for (const auto& [meaning, value] : data.input.settings) {
    page += "<tr><td>";
    appendHtmlText(page, meaning);
    page += "</td><td>";
    appendHtmlText(page, platform::utf8FromSystemText(value));
    page += "</td></tr>\n";
  }
  page += "</table>\n";
}

// What a dot's hover text says: the name, each check's value, the position.
void appendDotTitle(std::string& page, const PageData& data, std::size_t image) {
  page += data.names[image];
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (data.input.outcomes[c] == nullptr) continue;
    page += "\n";
    page += kCheckNames[c];
    page += ": ";
    const std::string* value = data.views[c].valueOf[image];
    if (value != nullptr) {
      appendHtmlText(page, platform::utf8FromSystemText(*value));
    } else {
      page += "position";
    }
    if (data.views[c].reported[image]) page += " (flagged)";
  }
  const ImageFacts& facts = (*data.input.facts)[image];
  page += "\n";
  appendDegrees(page, facts.latitude);
  page += ", ";
  appendDegrees(page, facts.longitude);
}

void appendMap(std::string& page, const PageData& data) {
  std::vector<std::size_t> placed;
  std::vector<GeoPosition> positions;
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (!data.positioned[image]) continue;
    const ImageFacts& facts = (*data.input.facts)[image];
    placed.push_back(image);
    positions.push_back({facts.latitude, facts.longitude});
  }
  const std::vector<FlatPoint> points = projectFlat(positions);
  double minEast = 0, maxEast = 0, minNorth = 0, maxNorth = 0;
  for (const FlatPoint& point : points) {
    minEast = std::min(minEast, point.east);
    maxEast = std::max(maxEast, point.east);
    minNorth = std::min(minNorth, point.north);
    maxNorth = std::max(maxNorth, point.north);
  }
  const double extent = std::max({maxEast - minEast, maxNorth - minNorth, kMinimumExtent});
  const double scale = kMapSpan / extent;  // SVG units per metre
  const long long height = std::max(300LL, std::llround((maxNorth - minNorth) * scale) + 100);
  const auto x = [&](const FlatPoint& p) { return std::llround(kMapWidth / 2 + p.east * scale); };
  const auto y = [&](const FlatPoint& p) {
    return std::llround(static_cast<double>(height) / 2 - p.north * scale);
  };

  page += "<h2>Map</h2>\n<p>";
  appendNumber(page, static_cast<long long>(placed.size()));
  page += " photos with a GPS position, in metres east and north of the set's centre";
  page += "; hover a dot for its values, click a name to find its dot.</p>\n<p>";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (data.input.outcomes[c] == nullptr) continue;
    page += "<span class=key style=\"background:";
    page += kCheckColours[c];
    page += "\"></span>";
    page += kCheckNames[c];
    page += " &nbsp; ";
  }
  page +=
      "<span class=key style=\"background:#999\"></span>passed"
      " &nbsp; (a black ring: flagged by more than one check)</p>\n";
  page += "<div class=map>\n<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1000 ";
  appendNumber(page, height);
  page += "\" width=\"1000\" height=\"";
  appendNumber(page, height);
  page += "\">\n";
  if (points.size() > 1) {
    page += "<polyline class=t points=\"";
    for (const FlatPoint& point : points) {
      appendNumber(page, x(point));
      page += ',';
      appendNumber(page, y(point));
      page += ' ';
    }
    page += "\"/>\n";
  }
  // Passed photos first, so that a flagged dot is never hidden under one.
  for (const bool flaggedRound : {false, true}) {
    for (std::size_t k = 0; k < placed.size(); ++k) {
      const std::size_t image = placed[k];
      int first = -1, count = 0;
      for (std::size_t c = 0; c < kCheckCount; ++c) {
        if (data.input.outcomes[c] == nullptr || !data.views[c].reported[image]) continue;
        if (first < 0) first = static_cast<int>(c);
        ++count;
      }
      if ((first >= 0) != flaggedRound) continue;
      page += "<circle id=d";
      appendNumber(page, static_cast<long long>(image));
      page += " cx=";
      appendNumber(page, x(points[k]));
      page += " cy=";
      appendNumber(page, y(points[k]));
      page += " r=5 class=";
      if (first < 0) {
        page += 'p';
      } else {
        page += 'c';
        appendNumber(page, first);
        if (count > 1) page += 'm';
      }
      page += "><title>";
      appendDotTitle(page, data, image);
      page += "</title></circle>\n";
    }
  }
  // Scale bar (bottom left) and north arrow (top right).
  const double bar = scaleBarMetres(extent);
  const long long barLength = std::llround(bar * scale);
  page += "<path d=\"M20 ";
  appendNumber(page, height - 20);
  page += " h";
  appendNumber(page, barLength);
  page += "\" stroke=\"#000\" stroke-width=\"3\"/>\n<text x=\"20\" y=\"";
  appendNumber(page, height - 28);
  page += "\">";
  if (bar >= 1000) {
    appendNumber(page, std::llround(bar / 1000));
    page += " km";
  } else {
    appendNumber(page, std::llround(bar));
    page += " m";
  }
  page +=
      "</text>\n<path d=\"M970 15 L982 50 L970 42 L958 50 Z\" fill=\"#000\"/>"
      "<text x=\"964\" y=\"68\">N</text>\n</svg>\n";

  page += "<div class=side><h3>Without a usable GPS position: ";
  appendNumber(page, static_cast<long long>(data.imageCount - placed.size()));
  page += "</h3>\n<ol>\n";
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (data.positioned[image]) continue;
    page += "<li data-i=";
    appendNumber(page, static_cast<long long>(image));
    page += '>';
    page += data.names[image];
    page += "</li>\n";
  }
  page += "</ol></div>\n</div>\n";
}

void appendGroup(std::string& page, const PageData& data, const std::string& key,
                 const std::vector<std::size_t>& members, bool reported) {
  page += reported ? "<details open><summary>" : "<details><summary>";
  appendHtmlText(page, platform::utf8FromSystemText(key));
  page += ": ";
  appendNumber(page, static_cast<long long>(members.size()));
  page += members.size() == 1 ? " photo" : " photos";
  if (reported) page += ", flagged";
  page += "</summary>\n<ol>\n";
  for (const std::size_t image : members) {
    if (image >= data.imageCount) continue;
    page += "<li data-i=";
    appendNumber(page, static_cast<long long>(image));
    page += '>';
    page += data.names[image];
    page += "</li>\n";
  }
  page += "</ol></details>\n";
}

void appendChecks(std::string& page, const PageData& data) {
  page += "<h2>Checks</h2>\n";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    page += "<h3><span class=key style=\"background:";
    page += kCheckColours[c];
    page += "\"></span>";
    page += kCheckNames[c];
    const CheckOutcome* outcome = data.input.outcomes[c];
    if (outcome == nullptr) {
      page += ": not run</h3>\n";
      continue;
    }
    page += ": ";
    appendNumber(page, static_cast<long long>(outcome->reported.size()));
    page += " flagged</h3>\n";
    // The groups the check reported first, then the others, each in key order.
    for (const bool reportedRound : {true, false}) {
      for (const auto& [key, members] : outcome->groups) {
        const bool reported = !members.empty() && members.front() < data.imageCount &&
                              data.views[c].reported[members.front()];
        if (reported == reportedRound) appendGroup(page, data, key, members, reported);
      }
    }
    std::size_t filed = 0;
    for (const auto& group : outcome->groups) filed += group.second.size();
    // The GPS check files no photo that has a position: count them here.
    if (kCheckRows[c].valueTextOf == gpsValueText) {
      page += "<p>with a position: ";
      appendNumber(page, static_cast<long long>(data.imageCount - filed));
      page += " photos (on the map)</p>\n";
    }
  }
}

}  // namespace

std::string pageText(const PageInput& input) {
  static const platform::PathList kNoImages;
  const platform::PathList& images = input.images != nullptr ? *input.images : kNoImages;
  PageData data{input, images.size(), {}, {}, std::vector<bool>(images.size(), false)};
  data.names.reserve(images.size());
  for (std::size_t image = 0; image < images.size(); ++image) {
    data.names.push_back(htmlText(platform::utf8NameOf(images[image])));
    data.positioned[image] = hasUsablePosition(input, image);
  }
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (input.outcomes[c] != nullptr) data.views[c] = viewOf(*input.outcomes[c], images.size());
  }

  std::string page;
  page.reserve(256 + images.size() * 300);
  appendHead(page, data);
  appendVerdict(page, data);
  appendMap(page, data);
  appendChecks(page, data);
  page += "<script>";
  page += kScript;
  page += "</script>\n</body>\n</html>\n";
  return page;
}
