// The page's readiness: its verdict beside the checks' in the header, and
// each finding in one line with the photos it concerns, by path and with
// what was measured of each (the finding's own measure).
#include <cmath>
#include <cstdio>
#include <utility>

#include "page/html_text.h"
#include "page/page_parts.h"
#include "page/page_words.h"

namespace {

using readiness::Finding;
using readiness::FindingCause;
using readiness::PhotoReadiness;

// A number with `places` decimals, written by hand: the C runtime's locale
// is the user's.
void appendDecimal(std::string& page, double value, int places) {
  long long scale = 1;
  for (int k = 0; k < places; ++k) scale *= 10;
  long long scaled = std::llround(value * static_cast<double>(scale));
  if (scaled < 0) {
    page += '-';
    scaled = -scaled;
  }
  appendNumber(page, scaled / scale);
  if (places == 0) return;
  page += '.';
  for (long long place = scale / 10; place > 0; place /= 10) {
    page += static_cast<char>('0' + scaled / place % 10);
  }
}

void appendPercent(std::string& page, double fraction) {
  appendDecimal(page, fraction * 100, 0);
  page += '%';
}

// "flight 2 line 5", in the words shown (people count from 1).
void appendWhere(std::string& page, const Finding& finding) {
  if (finding.flight) {
    page += ' ';
    appendWord(page, Word::flight);
    page += ' ';
    appendNumber(page, static_cast<long long>(*finding.flight) + 1);
  }
  if (finding.line) {
    page += ' ';
    appendWord(page, Word::line);
    page += ' ';
    appendNumber(page, static_cast<long long>(*finding.line) + 1);
    if (finding.otherLine) {
      page += '/';
      appendNumber(page, static_cast<long long>(*finding.otherLine) + 1);
    }
  }
}

// The finding's measure, in numbers and units that need no translation;
// nothing for the causes that have none to show.
void appendMeasureOnly(std::string& page, const Finding& finding) {
  if (!finding.value) return;
  const double value = *finding.value;
  switch (finding.cause) {
    case FindingCause::forwardBelow:
    case FindingCause::sideBelow:
      appendPercent(page, value);
      return;
    case FindingCause::fewViews:
      appendDecimal(page, value, 0);
      page += ' ';
      appendWord(page, Word::views);
      return;
    case FindingCause::finestPhotos:
    case FindingCause::coarsestPhotos:
      appendDecimal(page, value, 1);
      page += u8"×";
      return;
    case FindingCause::pitchOffMedian:
      appendWord(page, Word::median);
      page += ' ';
      appendDecimal(page, value, 0);
      page += u8"°";
      return;
    case FindingCause::horizonInView:
      appendDecimal(page, value, 0);
      page += u8"°";
      return;
    case FindingCause::smearAbovePixel:
      appendDecimal(page, value, 1);
      page += " px";
      return;
    case FindingCause::slowShutter:
      appendDecimal(page, value, 3);
      page += " s";
      return;
    case FindingCause::farFromNeighbours:
      appendDecimal(page, value, 0);
      page += " m";
      return;
    case FindingCause::flightGap:
      appendDecimal(page, value / 60, 0);
      page += " min";
      return;
    default:
      return;
  }
}

void appendMeasure(std::string& page, const Finding& finding) {
  std::string measure;
  appendMeasureOnly(measure, finding);
  if (measure.empty()) return;
  page += u8" — ";
  page += measure;
}

// What the photo's row says of why it is named: its own measure of the
// finding's kind, where it has one.
void appendPhotoMeasure(std::string& page, FindingCause cause, const PhotoReadiness& photo) {
  const auto put = [&page](readiness::MaybeFloat value, double factor, int places,
                           const char* unit) {
    if (!value) return;
    page += u8" — ";
    appendDecimal(page, *value * factor, places);
    page += unit;
  };
  switch (cause) {
    case FindingCause::forwardBelow:
      put(photo.forwardOverlap, 100, 0, "%");
      return;
    case FindingCause::sideBelow:
      put(photo.sideOverlap, 100, 0, "%");
      return;
    case FindingCause::finestPhotos:
    case FindingCause::coarsestPhotos:
      put(photo.gsdCm, 1, 2, " cm/px");
      return;
    case FindingCause::pitchOffMedian:
    case FindingCause::horizonInView:
      put(photo.pitchDeg, 1, 0, u8"°");
      return;
    case FindingCause::smearAbovePixel:
      put(photo.smearPx, 1, 1, " px");
      return;
    case FindingCause::fewViews:
      if (!photo.views) return;
      page += u8" — ";
      appendNumber(page, *photo.views);
      page += ' ';
      appendWord(page, Word::views);
      return;
    default:
      return;
  }
}

void appendFinding(PageOut& out, const PageData& data, const Finding& finding) {
  const readiness::ReadinessResult& result = *data.input.readiness;
  std::string& page = out.text;
  page += readiness::isRisk(finding.cause) ? "<li class=risk><details><summary>"
                                           : "<li><details><summary>";
  appendWord(page, causeWord(finding.cause));
  appendWhere(page, finding);
  appendMeasure(page, finding);
  if (!finding.label.empty()) {
    page += ": ";
    appendHtmlText(page, finding.label);
  }
  page += " (";
  appendPhotoCount(page, finding.photoCount);
  page += ")</summary>\n<ol>\n";
  ListParts parts;
  for (const std::uint32_t image : finding.photos) {
    if (image >= data.imageCount) continue;
    parts.beforeRow(page);
    page += "<li data-i=";
    appendNumber(page, image);
    page += '>';
    appendPath(page, data, image);
    if (image < result.photos.size()) appendPhotoMeasure(page, finding.cause, result.photos[image]);
    page += "</li>\n";
    out.handOnWhenFull();
  }
  parts.endRows(page);
  page += "</ol>";
  parts.appendMore(page);
  if (finding.photoCount > finding.photos.size()) {
    page += "<p>";
    appendNumber(page, finding.photoCount - static_cast<long long>(finding.photos.size()));
    page += ' ';
    appendWord(page, Word::photosNotListed);
    page += "</p>";
  }
  page += "</details></li>\n";
}

}  // namespace

void appendReadinessVerdict(std::string& page, const PageData& data) {
  const readiness::ReadinessResult* result = data.input.readiness;
  if (result == nullptr) return;
  switch (result->verdict) {
    case readiness::Verdict::ready:
      page += "<p class=\"rv ok\">";
      break;
    case readiness::Verdict::atRisk:
      page += "<p class=\"rv risk\">";
      break;
    case readiness::Verdict::cannotTell:
      page += "<p class=\"rv unknown\">";
      break;
  }
  appendWord(page, Word::readiness);
  page += ": ";
  appendWord(page, verdictWord(result->verdict, result->noFootprint));
  page += "</p>\n";
}

// What the analyses could not measure, and why: the photos left out of
// flights and lines, and those without a footprint (the cause of "cannot
// tell").
void appendUnmeasured(std::string& page, const readiness::ReadinessResult& result) {
  for (const auto& [count, word] :
       {std::pair{result.photosWithoutTime, Word::photosWithoutTime},
        std::pair{result.photosWithoutHeight, Word::photosWithoutHeight}}) {
    if (count == 0) continue;
    page += "<p class=meta>";
    appendPhotoCount(page, count, word);
    page += "</p>\n";
  }
}

void appendReadinessFindings(PageOut& out, const PageData& data) {
  const readiness::ReadinessResult* result = data.input.readiness;
  if (result == nullptr) return;
  out.text += "<h2 id=readiness>";
  if (result->findings.empty()) {
    appendWord(out.text, Word::noReadinessFinding);
    out.text += "</h2>\n";
    appendUnmeasured(out.text, *result);
    return;
  }
  appendWord(out.text, Word::readinessFindings);
  out.text += ": ";
  appendNumber(out.text, static_cast<long long>(result->findings.size()));
  out.text += "</h2>\n";
  appendUnmeasured(out.text, *result);
  out.text += "<ul class=findings>\n";
  for (const Finding& finding : result->findings) appendFinding(out, data, finding);
  out.text += "</ul>\n";
  if (result->findingsLeftOut > 0) {
    out.text += "<p>";
    appendNumber(out.text, result->findingsLeftOut);
    out.text += ' ';
    appendWord(out.text, Word::findingsNotListed);
    out.text += "</p>\n";
  }
}
