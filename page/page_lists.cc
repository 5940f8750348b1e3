// The page's lists: the counts per check, the table of flagged photos (the
// first screen) and each check's value groups.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "checks/value_texts.h"
#include "page/html_text.h"
#include "page/page_parts.h"
#include "page/page_words.h"

namespace {

// The value text check row `row` filed the image under, made as the pass
// made it; false where the image was not filed (missing, or a position for
// the GPS check).
bool valueTextOf(std::size_t row, const ImageFacts& facts, std::string& text) {
  if (facts.read == ImageRead::missing) return false;
  if (isErrorImage(facts)) {
    text = kErrorKey;
    return true;
  }
  return kCheckRows[row].valueTextOf(facts, text);
}

// A value as a person reads it: "4000 × 3000", the maker, "35 mm focal
// length 24 mm" or "without ...", "without GPS position".
void appendValueLabel(std::string& page, std::size_t row, const std::string& text) {
  const ValueTextOf of = kCheckRows[row].valueTextOf;
  if (text == kErrorKey) {
    appendWord(page, Word::cannotBeChecked);
  } else if (of == resolutionValueText) {
    const std::size_t star = text.find('*');
    appendHtmlText(page, std::string_view(text).substr(0, star));
    if (star != std::string::npos) {
      page += u8" × ";
      appendHtmlText(page, std::string_view(text).substr(star + 1));
    }
  } else if (of == focalLengthValueText) {
    if (text == kCheckRows[row].missingValueKey) {
      appendWord(page, Word::withoutFocalLength);
      return;
    }
    appendWord(page, Word::withFocalLength);
    page += ' ';
    appendHtmlText(page, text);
    page += " mm";
  } else if (of == gpsValueText) {
    appendWord(page, Word::withoutGps);
  } else if (text.empty()) {
    appendWord(page, Word::noMaker);
  } else {
    appendHtmlText(page, platform::utf8FromSystemText(text));
  }
}

// Why a photo could not be checked, with the system's words where it gave any.
void appendReason(std::string& page, const ImageFacts& facts) {
  const ImageProblem problem = problemOf(facts);
  if (problem == ImageProblem::cannotRead && facts.systemError == 0) {
    appendWord(page, Word::endsEarly);
    return;
  }
  appendWord(page, problemWord(problem));
  if (problem == ImageProblem::cannotRead) {
    page += ": ";
    appendHtmlText(page,
                   platform::utf8FromSystemText(platform::systemErrorText(facts.systemError)));
  }
}

// A check's name after its colour on the map (none for the GPS check, whose
// flagged photos have no position to draw).
void appendCheckName(std::string& page, std::size_t row) {
  if (kCheckRows[row].valueTextOf != gpsValueText) appendKey(page, row);
  appendWord(page, checkWord(row));
}

// With readiness, the row's flight, capture time and position (blank where
// unknown).
void appendWhenAndWhere(std::string& page, const PageData& data, std::size_t image) {
  const ImageFacts& facts = *data.factsOf(image);
  page += "<td>";
  const readiness::PhotoReadiness* measured = data.readinessOf(image);
  if (measured != nullptr && measured->flight) {
    appendNumber(page, static_cast<long long>(*measured->flight) + 1);
  }
  page += "</td><td>";
  if (facts.captured.year != 0) appendCaptureTime(page, facts.captured);
  page += "</td><td>";
  if (data.positioned(image)) {
    appendDegrees(page, facts.latitude);
    page += ", ";
    appendDegrees(page, facts.longitude);
  }
  page += "</td>";
}

// One row of the flagged table: the path, the checks, each one's value (or
// once why the photo could not be checked); with readiness also its flight,
// capture time and position, and its place in flight and capture order
// (data-o) for the script's sort.
void appendFlaggedRow(std::string& page, const PageData& data, std::size_t image,
                      std::size_t flightOrder) {
  const ImageFacts& facts = *data.factsOf(image);
  page += "<tr id=r";
  appendNumber(page, static_cast<long long>(image));
  page += " data-i=";
  appendNumber(page, static_cast<long long>(image));
  if (data.input.readiness != nullptr) {
    page += " data-o=";
    appendNumber(page, static_cast<long long>(flightOrder));
  }
  page += "><td class=n>";
  appendPath(page, data, image);
  page += "</td>";
  if (data.input.readiness != nullptr) appendWhenAndWhere(page, data, image);
  page += "<td>";
  const char* between = "";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (!data.flaggedBy(image, c)) continue;
    page += between;
    appendCheckName(page, c);
    between = "<br>";
  }
  page += "</td><td>";
  if (problemOf(facts) != ImageProblem::none) {
    appendReason(page, facts);
  } else {
    between = "";
    std::string text;
    for (std::size_t c = 0; c < kCheckCount; ++c) {
      if (!data.flaggedBy(image, c) || !valueTextOf(c, facts, text)) continue;
      page += between;
      appendValueLabel(page, c, text);
      between = "<br>";
    }
  }
  page += "</td></tr>\n";
}

void appendGroupSummary(std::string& page, std::size_t row, const std::string& key,
                        std::size_t count, bool flagged, bool rest) {
  page += flagged ? "<details open><summary><span class=v>" : "<details><summary><span class=";
  if (!flagged) page += rest ? "\"v rest\">" : "v>";
  appendValueLabel(page, row, key);
  page += "</span>: ";
  appendPhotoCount(page, static_cast<long long>(count));
  if (flagged) {
    page += ", ";
    appendWord(page, Word::flaggedGroup);
  }
  page += "</summary>\n";
}

// A group and its photos by path. The rest (the largest group the check did
// not flag: most of a good set) is counted but not listed, which keeps the
// page of a large set small; the script gives its value to a photo no
// group lists.
void appendGroup(PageOut& out, const PageData& data, std::size_t row, const std::string& key,
                 const std::vector<std::size_t>& members, bool flagged, bool rest) {
  std::string& page = out.text;
  appendGroupSummary(page, row, key, members.size(), flagged, rest);
  if (rest) {
    page += "</details>\n";
    return;
  }
  page += "<ol>\n";
  ListParts parts;
  for (const std::size_t image : members) {
    if (image >= data.imageCount) continue;
    parts.beforeRow(page);
    page += "<li data-i=";
    appendNumber(page, static_cast<long long>(image));
    page += '>';
    appendPath(page, data, image);
    const ImageFacts* facts = data.factsOf(image);
    if (key == kErrorKey && facts != nullptr && problemOf(*facts) != ImageProblem::none) {
      page += u8" — ";
      appendReason(page, *facts);
    }
    page += "</li>\n";
    out.handOnWhenFull();
  }
  parts.endRows(page);
  page += "</ol>";
  parts.appendMore(page);
  page += "</details>\n";
}

bool groupFlagged(const PageData& data, std::size_t row, const std::vector<std::size_t>& members) {
  return !members.empty() && members.front() < data.imageCount &&
         data.flaggedBy(members.front(), row);
}

void appendCheckGroups(PageOut& out, const PageData& data, std::size_t row) {
  const CheckOutcome& outcome = *data.input.outcomes[row];
  const bool gps = kCheckRows[row].valueTextOf == gpsValueText;
  // The rest: the GPS check's photos with a position (it files none of
  // them), or the largest group it did not flag, the first in key order.
  const std::string* rest = nullptr;
  std::size_t filed = 0;
  for (const auto& [key, members] : outcome.groups) {
    filed += members.size();
    if (gps || groupFlagged(data, row, members)) continue;
    if (rest == nullptr || members.size() > outcome.groups.at(*rest).size()) rest = &key;
  }
  // The groups the check flagged first, then the others, each in key order.
  for (const bool flaggedRound : {true, false}) {
    for (const auto& [key, members] : outcome.groups) {
      const bool flagged = groupFlagged(data, row, members);
      if (flagged != flaggedRound) continue;
      appendGroup(out, data, row, key, members, flagged, &key == rest);
    }
  }
  if (!gps) return;
  out.text += "<p><span class=\"v rest\">";
  appendWord(out.text, Word::withGps);
  out.text += "</span>: ";
  appendPhotoCount(out.text, static_cast<long long>(data.imageCount - filed));
  out.text += "</p>\n";
}

// One number per photo that orders as its capture time does; no time: after all.
std::uint64_t timeKey(const CaptureTime& t) {
  if (t.year == 0) return UINT64_MAX;
  return std::uint64_t{t.year} << 40 | std::uint64_t{t.month} << 32 | std::uint64_t{t.day} << 24 |
         std::uint64_t{t.hour} << 16 | std::uint64_t{t.minute} << 8 | t.second;
}

// Each flagged photo's place (its index in `flagged`, which is in list
// order) when they are sorted by flight (none last), then capture time,
// then list order.
std::vector<std::uint32_t> flightOrderOf(const PageData& data,
                                         const std::vector<std::uint32_t>& flagged) {
  std::vector<std::uint32_t> order(flagged.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
  const auto flightOf = [&](std::uint32_t k) {
    const readiness::PhotoReadiness* measured = data.readinessOf(flagged[k]);
    return measured != nullptr ? measured->flight.stored : UINT32_MAX;
  };
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const std::uint32_t fa = flightOf(a), fb = flightOf(b);
    if (fa != fb) return fa < fb;
    return timeKey(data.factsOf(flagged[a])->captured) <
           timeKey(data.factsOf(flagged[b])->captured);
  });
  std::vector<std::uint32_t> place(flagged.size());
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    place[order[rank]] = static_cast<std::uint32_t>(rank);
  }
  return place;
}

}  // namespace

void appendSummary(PageOut& out, const PageData& data) {
  std::string& page = out.text;
  // The photos each check reported, counted from their marks: the outcomes
  // may still be in the making.
  std::array<long long, kCheckCount> reported{};
  if (data.input.facts != nullptr) {
    for (const ImageFacts& facts : *data.input.facts) {
      for (std::size_t c = 0; c < kCheckCount; ++c) reported[c] += (facts.flaggedBy >> c) & 1u;
    }
  }
  page += "<table class=counts>\n";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    page += "<tr><td>";
    appendCheckName(page, c);
    page += "</td><td>";
    if (data.ran(c)) {
      appendNumber(page, reported[c]);
      page += ' ';
      appendWord(page, Word::flagged);
    } else {
      appendWord(page, Word::notRun);
    }
    page += "</td></tr>\n";
  }
  page += "</table>\n";
}

void appendFlaggedTable(PageOut& out, const PageData& data) {
  std::size_t count = 0;
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (data.flagged(image)) ++count;
  }
  out.text += "<h2 id=flagged>";
  appendWord(out.text, count == 0 ? Word::noneFlagged : Word::flaggedPhotos);
  if (count == 0) {
    out.text += "</h2>\n";
    return;
  }
  out.text += ": ";
  appendNumber(out.text, static_cast<long long>(count));
  const bool withReadiness = data.input.readiness != nullptr;
  std::vector<std::uint32_t> flagged, flightOrder;
  if (withReadiness) {
    // The sort's button, its second label shown once the rows are in
    // flight order.
    out.text += " <button id=sort type=button data-by=i><span>";
    appendWord(out.text, Word::sortByFlight);
    out.text += "</span><span hidden>";
    appendWord(out.text, Word::sortByPath);
    out.text += "</span></button>";
    flagged.reserve(count);
    for (std::size_t image = 0; image < data.imageCount; ++image) {
      if (data.flagged(image)) flagged.push_back(static_cast<std::uint32_t>(image));
    }
    flightOrder = flightOrderOf(data, flagged);
  }
  out.text += "</h2>\n<table class=flagged>\n<tr><th>";
  appendWord(out.text, Word::path);
  if (withReadiness) {
    out.text += "</th><th>";
    appendWord(out.text, Word::flight);
    out.text += "</th><th>";
    appendWord(out.text, Word::captured);
    out.text += "</th><th>";
    appendWord(out.text, Word::position);
  }
  out.text += "</th><th>";
  appendWord(out.text, Word::checks);
  out.text += "</th><th>";
  appendWord(out.text, Word::valueOrReason);
  out.text += "</th></tr>\n";
  ListParts parts;
  std::size_t row = 0;
  for (std::size_t image = 0; image < data.imageCount; ++image) {
    if (!data.flagged(image)) continue;
    parts.beforeRow(out.text);
    appendFlaggedRow(out.text, data, image, withReadiness ? flightOrder[row] : 0);
    ++row;
    out.handOnWhenFull();
  }
  parts.endRows(out.text);
  out.text += "</table>\n";
  parts.appendMore(out.text);
}

void appendChecks(PageOut& out, const PageData& data) {
  if (data.input.awaitOutcomes) data.input.awaitOutcomes();
  out.text += "<h2 id=checks>";
  appendWord(out.text, Word::allChecks);
  out.text += "</h2>\n";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    out.text += "<section id=k";
    appendNumber(out.text, static_cast<long long>(c));
    out.text += "><h3>";
    appendCheckName(out.text, c);
    out.text += ": ";
    if (!data.ran(c)) {
      appendWord(out.text, Word::notRun);
      out.text += "</h3></section>\n";
      continue;
    }
    appendNumber(out.text, static_cast<long long>(data.input.outcomes[c]->reported.size()));
    out.text += ' ';
    appendWord(out.text, Word::flagged);
    out.text += "</h3>\n";
    appendCheckGroups(out, data, c);
    out.text += "</section>\n";
  }
}
