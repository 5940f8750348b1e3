#include "page/page_text.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "checks/value_texts.h"
#include "page/html_text.h"
#include "page/map_script.h"
#include "page/page_parts.h"
#include "page/page_script.h"
#include "page/page_words.h"

namespace {

// The text is handed on once it holds this much (and at the end).
constexpr std::size_t kPieceBytes = 64 * 1024;

void appendHead(std::string& page, const PageData& data) {
  page +=
      "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>photocheck: ";
  page += data.input.status == 0 ? "passed" : "failed";
  page += "</title>\n<style>";
  page += kPageStyle;
  page += "</style>\n</head>\n<body>\n";
}

// The verdict and what the run was: when, which tool, which folder.
void appendHeader(std::string& page, const PageData& data) {
  const bool passed = data.input.status == 0;
  page += "<header>\n<button id=lang type=button>";
  appendWord(page, Word::otherLanguage);
  page += passed ? "</button>\n<h1 class=pass>" : "</button>\n<h1 class=fail>";
  appendWord(page, passed ? Word::setPassed : Word::setFailed);
  page += "</h1>\n";
  appendReadinessVerdict(page, data);
  page += "<p class=meta>";
  appendNumber(page, static_cast<long long>(data.imageCount));
  page += ' ';
  appendWord(page, Word::images);
  page += "; ";
  appendWord(page, Word::exitStatus);
  page += ' ';
  appendNumber(page, data.input.status);
  if (data.imageCount == 0) {
    page += "; ";
    appendWord(page, Word::noFileInFolder);
  }
  page += "</p>\n<p class=meta>";
  appendWord(page, Word::checkedAt);
  page += ' ';
  appendHtmlText(page, data.input.runTime);
  if (!data.input.runId.empty()) {
    page += "; ";
    appendWord(page, Word::runId);
    page += " <span class=run>";
    appendHtmlText(page, data.input.runId);
    page += "</span>";
  }
  page += "; photocheck ";
  appendWord(page, Word::version);
  page += ' ';
  appendHtmlText(page, data.input.version);
  page += "</p>\n<p class=meta>";
  appendWord(page, Word::imageFolder);
  page += ": ";
  appendHtmlText(page, data.input.folderShown);
  page += "</p>\n</header>\n";
}

void appendSettings(std::string& page, const PageData& data) {
  page += "<h2>";
  appendWord(page, Word::settings);
  page += "</h2>\n<table>\n";
  for (const auto& [meaning, value] : data.input.settings) {
    page += "<tr><td>";
    const Word word = settingWord(meaning);
    if (word != Word::count) {
      appendWord(page, word);
    } else {
      appendHtmlText(page, meaning);
    }
    page += "</td><td>";
    appendHtmlText(page, platform::utf8FromSystemText(value));
    page += "</td></tr>\n";
  }
  page += "</table>\n";
}

// The script's data: the words, and where in them the check names and the
// details' labels stand.
void appendScript(std::string& page) {
  page += "<script>\n";
  appendWordLists(page);
  page += "var K=[";
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    appendNumber(page, static_cast<long long>(checkWord(c)));
    page += ',';
  }
  page += "],P=";
  appendNumber(page, static_cast<long long>(Word::position));
  page += ",C=";
  appendNumber(page, static_cast<long long>(Word::captured));
  page += ";\n";
  page += kPageScript;
  page += kMapScript;
  page += "\n</script>\n";
}

}  // namespace

const std::array<const char*, kCheckCount> kCheckColours = {"#d62728", "#1f77b4", "#ff7f0e",
                                                            "#9467bd"};
const std::array<const char*, 8> kFlightColours = {"#17becf", "#2ca02c", "#e377c2", "#8c564b",
                                                   "#bcbd22", "#1f77b4", "#7f7f7f", "#ff7f0e"};

void PageOut::handOnWhenFull() {
  if (text.size() < kPieceBytes) return;
  if (!failed && !write(text)) failed = true;
  text.clear();
}

bool PageOut::finish() {
  if (!failed && !write(text)) failed = true;
  text.clear();
  return !failed;
}

std::string PageData::pathOf(std::size_t image) const {
  return platform::utf8PathBelow(input.imageFolder, (*input.images)[image]);
}

const ImageFacts* PageData::factsOf(std::size_t image) const {
  if (input.facts == nullptr || input.facts->size() <= image) return nullptr;
  return &(*input.facts)[image];
}

bool PageData::positioned(std::size_t image) const {
  const ImageFacts* facts = factsOf(image);
  return facts != nullptr && facts->read == ImageRead::decoded && !isErrorImage(*facts) &&
         hasGpsPosition(*facts);
}

const readiness::PhotoReadiness* PageData::readinessOf(std::size_t image) const {
  if (input.readiness == nullptr || input.readiness->photos.size() <= image) return nullptr;
  return &input.readiness->photos[image];
}

bool PageData::flaggedBy(std::size_t image, std::size_t row) const {
  const ImageFacts* facts = factsOf(image);
  return ran(row) && facts != nullptr && (facts->flaggedBy & (1u << row)) != 0;
}

bool PageData::flagged(std::size_t image) const {
  for (std::size_t c = 0; c < kCheckCount; ++c) {
    if (flaggedBy(image, c)) return true;
  }
  return false;
}

void appendNumber(std::string& page, long long number) {
  char digits[24];  // a 64-bit number and its sign
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
  page.append(digits, end.ptr);
}

void appendDegrees(std::string& page, double degrees) {
  long long micro = std::llround(degrees * 1e6);
  if (micro < 0) {
    page += '-';
    micro = -micro;
  }
  appendNumber(page, micro / 1000000);
  page += '.';
  for (long long place = 100000; place > 0; place /= 10) {
    page += static_cast<char>('0' + micro / place % 10);
  }
}

void appendCaptureTime(std::string& page, const CaptureTime& time) {
  const auto two = [&page](unsigned value, char after) {
    page += static_cast<char>('0' + value / 10 % 10);
    page += static_cast<char>('0' + value % 10);
    if (after != '\0') page += after;
  };
  two(time.year / 100u, '\0');
  two(time.year % 100u, '-');
  two(time.month, '-');
  two(time.day, ' ');
  two(time.hour, ':');
  two(time.minute, ':');
  two(time.second, '\0');
}

void appendPath(std::string& page, const PageData& data, std::size_t image) {
  appendHtmlText(page, data.pathOf(image));
}

void appendKey(std::string& page, std::size_t row) {
  page += "<span class=key style=\"background:";
  page += row < kCheckCount ? kCheckColours[row] : "#999";
  page += "\"></span>";
}

bool writePage(const PageInput& input, const platform::TextPieceWriter& write) {
  static const platform::PathList kNoImages;
  PageInput all = input;
  if (all.images == nullptr) all.images = &kNoImages;
  const PageData data{all, all.images->size()};
  PageOut out{std::string(), write};
  out.text.reserve(kPieceBytes + 4096);
  appendHead(out.text, data);
  appendHeader(out.text, data);
  // With readiness, the lists and the map stand side by side on the first
  // screen.
  const bool beside = all.readiness != nullptr;
  if (beside) out.text += "<div class=first><div class=lists>\n";
  appendSummary(out, data);
  appendReadinessFindings(out, data);
  appendFlaggedTable(out, data);
  if (beside) out.text += "</div><div class=where>\n";
  appendMap(out, data);
  if (beside) out.text += "</div></div>\n";
  appendChecks(out, data);
  appendSettings(out.text, data);
  appendScript(out.text);
  out.text += "</body>\n</html>\n";
  return out.finish();
}

std::string pageText(const PageInput& input) {
  std::string page;
  writePage(input, [&page](std::string_view piece) {
    page += piece;
    return true;
  });
  return page;
}
