#include "page/html_text.h"

#include <cstddef>

namespace {

// The length of the valid UTF-8 sequence at `text[at]` (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when there is none.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

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
    const std::size_t length = utf8SequenceAt(text, at);
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
