// How a long list is cut into the parts the page's script shows on request.
#include "page/page_parts.h"
#include "page/page_words.h"

void ListParts::beforeRow(std::string& page) {
  if (rows >= kShownRows && (rows - kShownRows) % kPartRows == 0) {
    if (rows > kShownRows) page += "</script>";
    page += "<script type=text/html class=part>";
  }
  ++rows;
}

void ListParts::endRows(std::string& page) const {
  if (rows > kShownRows) page += "</script>";
}

void ListParts::appendMore(std::string& page) const {
  if (rows <= kShownRows) return;
  // On paper the button is a line that says how many rows are not printed.
  page += "<button class=more type=button><span class=prt>";
  appendWord(page, Word::rowsNotPrinted);
  page += "</span>";
  appendWord(page, Word::showMore);
  page += " (<span class=left>";
  appendNumber(page, static_cast<long long>(rows - kShownRows));
  page += "</span>)</button>\n";
}
