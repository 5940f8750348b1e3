#include "page/html_text.h"

#include <cstddef>

#include "console/utf8_text.h"

namespace {

void appendByteEscape(std::string& page, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  page += "\\x";
  page += kHex[byte >> 4];
  page += kHex[byte & 0xF];
}

}  // namespace

void appendHtmlText(std::string& page, std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    const std::size_t length = utf8SequenceLength(
        reinterpret_cast<const unsigned char*>(text.data()) + at, text.size() - at);
    if (length == 0 || byte < 0x20 || byte == 0x7F) {
      appendByteEscape(page, byte);
      ++at;
      continue;
    }
    switch (c) {
      case '&':
        page += "&amp;";
        break;
      case '<':
        page += "&lt;";
        break;
      case '>':
        page += "&gt;";
        break;
      case '"':
        page += "&quot;";
        break;
      case '\'':
        page += "&#39;";
        break;
      default:
        page.append(text.substr(at, length));
    }
    at += length;
  }
}

std::string htmlText(std::string_view text) {
  std::string page;
  appendHtmlText(page, text);
  return page;
}
